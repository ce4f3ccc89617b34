proc main {n} {
    set s ""
    set i 0
    while {$i < $n} {
        append s "abc "
        incr i 4
    }
    set c 0
    foreach ch [split $s ""] {
        if {$ch eq "b"} {
            incr c
        }
    }
    puts "result: [string length $s] $c"
}
main [lindex $argv 0]
