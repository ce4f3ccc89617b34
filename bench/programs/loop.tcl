proc main {n} {
    set x 0
    while {$x < $n} {
        incr x
    }
    puts "result: $x"
}
main [lindex $argv 0]
