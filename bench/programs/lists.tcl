proc main {n} {
    set L {}
    set i 0
    while {$i < $n} {
        lappend L $i
        incr i
    }
    set t 0
    foreach e $L {
        incr t $e
    }
    set p [lsearch -exact -integer $L [expr {$n - 3}]]
    puts "result: [llength $L] $t $p"
}
main [lindex $argv 0]
