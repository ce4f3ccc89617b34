# VORN's LZ77 builtin has no counterpart here; Tcl's zlib at level 9 (LZ77
# plus Huffman coding, in C) does the comparable work on the same text.
proc main {target rounds} {
    set subjects {"The quick brown fox" "A lazy dog" "The old lighthouse keeper"
        "Every curious child" "Our neighbour's cat"}
    set verbs {"jumps over" "walks along" "quietly watches" "dreams about"
        "runs past" "writes a letter to" "sings softly near"}
    set objects {"the sleeping river" "a field of golden wheat"
        "the noisy market square" "an empty wooden bench"
        "the tall stone tower" "a basket of red apples"
        "the harbour at dawn" "seven silver spoons"
        "the edge of the forest" "a forgotten garden"
        "the last train home"}
    set text ""
    set si 0
    set vi 0
    set oi 0
    set count 0
    while {[string length $text] < $target} {
        append text "[lindex $subjects $si] [lindex $verbs $vi] [lindex $objects $oi]. "
        incr si
        incr vi
        incr oi
        incr count
        if {$si == 5} { set si 0 }
        if {$vi == 7} { set vi 0 }
        if {$oi == 11} { set oi 0 }
    }
    set data [encoding convertto utf-8 $text]
    set ok 0
    for {set round 0} {$round < $rounds} {incr round} {
        set packed [zlib compress $data 9]
        set back [zlib decompress $packed]
        if {$back eq $data} {
            incr ok
        }
    }
    puts "result: [string length $text] $count $ok"
}
main [lindex $argv 0] [lindex $argv 1]
