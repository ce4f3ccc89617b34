oo::class create Counter {
    variable n
    constructor {} {
        set n 0
    }
    method bump {d} {
        incr n $d
    }
    method value {} {
        return $n
    }
}
proc main {k m} {
    set objs {}
    set i 0
    while {$i < $k} {
        lappend objs [Counter new]
        incr i
    }
    set r 0
    set calls 0
    while {$calls < $m} {
        incr r
        foreach o $objs {
            $o bump $r
        }
        incr calls $k
    }
    set t 0
    foreach o $objs {
        incr t [$o value]
    }
    puts "result: $calls $t"
}
main [lindex $argv 0] [lindex $argv 1]
