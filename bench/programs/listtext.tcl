# VORN's list text: (1 "item1" 2 ...), texts in double quotes, numbers bare.
# Tcl's own list reader takes the inside apart (double quotes group words).
proc encode {items} {
    set parts {}
    foreach e $items {
        if {[string is entier -strict $e]} {
            lappend parts $e
        } else {
            lappend parts "\"$e\""
        }
    }
    return "([join $parts " "])"
}
proc decode {text} {
    return [string range $text 1 end-1]
}
proc main {n rounds} {
    set items {}
    set i 0
    while {$i < $n} {
        lappend items $i "item$i"
        incr i 2
    }
    set ok 0
    for {set round 0} {$round < $rounds} {incr round} {
        set coded [encode $items]
        set back [decode $coded]
        set again [encode $back]
        if {$again eq $coded} {
            incr ok
        }
    }
    puts "result: [string length $coded] [llength $back] $ok"
}
main [lindex $argv 0] [lindex $argv 1]
