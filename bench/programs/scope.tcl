# As calls.tcl, with 40 more variables in the caller.
proc f {x} {
    upvar 1 a a b b
    return [expr {$a + $b + $x}]
}
proc main {n} {
    set a 3
    set b 4
    set v0 0
    set v1 1
    set v2 2
    set v3 3
    set v4 4
    set v5 5
    set v6 6
    set v7 7
    set v8 8
    set v9 9
    set v10 10
    set v11 11
    set v12 12
    set v13 13
    set v14 14
    set v15 15
    set v16 16
    set v17 17
    set v18 18
    set v19 19
    set v20 20
    set v21 21
    set v22 22
    set v23 23
    set v24 24
    set v25 25
    set v26 26
    set v27 27
    set v28 28
    set v29 29
    set v30 30
    set v31 31
    set v32 32
    set v33 33
    set v34 34
    set v35 35
    set v36 36
    set v37 37
    set v38 38
    set v39 39
    set t 0
    set i 0
    while {$i < $n} {
        incr t [f $i]
        incr i
    }
    puts "result: $t"
}
main [lindex $argv 0]
