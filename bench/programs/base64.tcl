proc main {reps} {
    set chunk "Base64 turns any bytes into text: 0123456789 ABCDEFGHIJKLMNOPQ!?"
    set data [string repeat $chunk $reps]
    set coded [binary encode base64 $data]
    set back [binary decode base64 -strict $coded]
    puts "result: [string length $data] [string length $coded] [expr {$back eq $data}]"
}
main [lindex $argv 0]
