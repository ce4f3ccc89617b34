proc f {x} {
    upvar 1 a a b b
    return [expr {$a + $b + $x}]
}
proc main {n} {
    set a 3
    set b 4
    set t 0
    set i 0
    while {$i < $n} {
        incr t [f $i]
        incr i
    }
    puts "result: $t"
}
main [lindex $argv 0]
