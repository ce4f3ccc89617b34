#!/usr/bin/env python3
"""Signals and slow operations through the real program.

- Ctrl-C abandons a read of a FIFO that no one writes, at the prompt and
  during the start-up snapshot of a lib folder holding one, with "error:
  interrupted"; the session goes on and SLB.BUF keeps its old content.
- Ctrl-C abandons a write to a FIFO that no one reads; a reader gets the
  whole content, and one that leaves early makes the write fail.
- SIGHUP, SIGTERM or SIGKILL while the start-up restore writes lib leaves
  no part of lib behind: the next start keeps SLB.BUF and offers the
  restore again.
- Ctrl-C abandons a long LZ77 compression.
- A line too long to be held is dropped whole with "error: out of memory",
  its rest never running as a line of its own.
- A list nested 40 deep whose two elements are one list is refused at once
  by every text form ("out of memory: text too long"); long text forms and
  the reading of a long list text stop at Ctrl-C.
- A terminal that `getchar` put into single-key mode gets its line mode back
  when the program is ended by any signal that ends it (SIGTERM, SIGHUP,
  SIGQUIT, SIGALRM, SIGUSR1, SIGPIPE, SIGXCPU, SIGABRT) or a second quick
  SIGINT, also when the signal comes while the mode is being switched.

The time from the press to the report is printed, not checked.

Usage: run_signals.py PROGRAM
POSIX only.
"""
import os
import signal
import sys
import time

from program_session import (Session, WAIT_SECONDS, check, end_and_check_line_mode,
                             run_cases, wait_until_flag_off)


def interrupt_after(s, text, delay=0.5):
    """Presses Ctrl-C once the program has had time to start the work, and
    returns the seconds until the error is reported."""
    time.sleep(delay)
    pressed = time.monotonic()
    s.press_ctrl_c()
    s.wait_for(text)
    return time.monotonic() - pressed


def cpu_ticks(pid):
    """The processor time the process has used so far, in clock ticks."""
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])


def interrupt_when_busy(s, text, count):
    """Presses Ctrl-C once the program has spent a fifth of a second of
    processor time on the line just sent (on a loaded machine it may not
    even have read the line half a second later, and a Ctrl-C at the prompt
    asks for nothing), then waits for the count-th report; returns the
    seconds from the press to it."""
    start = cpu_ticks(s.proc.pid)
    deadline = time.monotonic() + WAIT_SECONDS
    while cpu_ticks(s.proc.pid) - start < os.sysconf("SC_CLK_TCK") // 5 and time.monotonic() < deadline:
        time.sleep(0.02)
    pressed = time.monotonic()
    s.press_ctrl_c()
    s.wait_for(text, count)
    return time.monotonic() - pressed


def fifo_read_at_the_prompt(program, folder):
    os.mkfifo(os.path.join(folder, "pipe"))
    s = Session(program, folder)
    try:
        s.wait_for(s.prompt)
        s.send(b"x = 5\n")
        s.wait_for(s.prompt, 2)
        mark = s.size()
        s.send(b't = $_readfile$("pipe")\n')
        seconds = interrupt_after(s, b"error: interrupted\n")
        s.wait_for(s.prompt, 3)
        check(s.after(mark) == b"\nerror: interrupted\n" + s.prompt, "one error line, then the prompt", s)
        s.send(b"$print$(x)\n")
        s.wait_for(b"5\n" + s.prompt)
        return f"{seconds:.3f} s from Ctrl-C to the report"
    finally:
        s.close()


def fifo_in_lib_at_start_up(program, folder):
    os.mkfifo(os.path.join(folder, "lib", "pipe.VORN"))
    old = b'(("hello.VORN") ("JHByaW50JCgiaGVsbG8iKQ=="))'
    with open(os.path.join(folder, "SLB.BUF"), "wb") as f:
        f.write(old)
    s = Session(program, folder)
    try:
        # "saving SLB..." waits in the output buffer while the read waits.
        s.wait_for(b"initializing...\n")
        seconds = interrupt_after(s, b"error: interrupted\n")
        s.wait_for(s.prompt)
        check(s.out.endswith(b"saving SLB...\r\nerror: interrupted\nOK\n" + s.prompt),
              "the snapshot should be abandoned whole, then OK and the prompt", s)
        with open(os.path.join(folder, "SLB.BUF"), "rb") as f:
            check(f.read() == old, "SLB.BUF should keep its old content", s)
        return f"{seconds:.3f} s from Ctrl-C to the report"
    finally:
        s.close()


def fifo_writes(program, folder):
    """A write to a FIFO that no one reads waits for a reader: Ctrl-C abandons
    the wait (text and binary writes alike) and the session goes on; with a
    reader the content arrives whole; a reader that leaves early makes the
    write fail instead of ending the program."""
    pipe = os.path.join(folder, "pipe")
    os.mkfifo(pipe)
    s = Session(program, folder)
    notes = []
    try:
        s.wait_for(s.prompt)
        for line in (b'$_writefile$("pipe" "hello")\n', b'$_writebinfile$("pipe" $decodebytes$("072105"))\n'):
            mark, prompts = s.size(), s.out.count(s.prompt)
            errors = s.out.count(b"error: interrupted\n")
            s.send(line)
            time.sleep(0.5)
            pressed = time.monotonic()
            s.press_ctrl_c()
            s.wait_for(b"error: interrupted\n", errors + 1)
            seconds = time.monotonic() - pressed
            s.wait_for(s.prompt, prompts + 1)
            check(s.after(mark) == b"\nerror: interrupted\n" + s.prompt, "one error line, then the prompt", s)
            notes.append(f"{seconds:.3f} s")
            time.sleep(2.5)  # not a second press

        mark = s.size()
        s.send(b'$_writefile$("pipe" ("abc" * 100000))\n$print$("written")\n')
        time.sleep(0.3)
        with open(pipe, "rb") as reader:
            got = reader.read()
        s.wait_for(b"written\n")
        check(got == b"abc" * 100000, f"the reader should get the whole text, not {len(got)} bytes", s)

        # The reader takes the first bytes and goes: the rest cannot be written.
        s.send(b'$_writefile$("pipe" ("x" * 1000000))\n$print$("still here")\n')
        with open(pipe, "rb") as reader:
            reader.read(10)
        s.wait_for(b"still here\n")
        check(b"error: cannot write file: pipe" in s.after(mark), "a broken pipe should be reported", s)
        return "Ctrl-C to the report: " + ", ".join(notes)
    finally:
        s.close()


def answer_at_start_up(program, folder, question, reply):
    """A whole session that answers the start-up question and ends at the prompt."""
    s = Session(program, folder)
    try:
        s.wait_for(question)
        s.send(reply)
        s.wait_for(b"OK\n")
        s.end_input()
        s.proc.wait(30)
    finally:
        s.close()
    return s


def restore_cut_short_by(sig):
    """A signal ends the program while the restore writes lib (held there by
    a snapshot entry that names a FIFO no one reads): the next start must
    still find lib missing, leave SLB.BUF byte for byte as it was, and offer
    the restore again, which then brings back every file."""
    def case(program, folder):
        os.rmdir(os.path.join(folder, "lib"))
        os.mkfifo(os.path.join(folder, "pipe"))
        # a.VORN, then ../pipe (the FIFO beside lib), then b.VORN.
        snapshot = (b'(("a.VORN" "../pipe" "b.VORN") ("JHByaW50JCgiYSIp" "eA==" '
                    b'"JHByaW50JCgiYiIp"))')
        with open(os.path.join(folder, "SLB.BUF"), "wb") as f:
            f.write(snapshot)
        question = b"Do you want to reconstruct the lib folder from a snapshot? y/n "
        s = Session(program, folder)
        try:
            s.wait_for(question)
            s.send(b"y\n")
            # a.VORN is written (wherever the restore keeps it until it is
            # complete) and the write of the FIFO waits.
            deadline = time.monotonic() + 30
            while not any("a.VORN" in files for _, _, files in os.walk(folder)):
                check(time.monotonic() < deadline, "the restore never wrote a.VORN", s)
                time.sleep(0.05)
            time.sleep(0.3)
            s.proc.send_signal(sig)
            s.proc.wait(30)
        finally:
            s.close()
        check(not os.path.exists(os.path.join(folder, "lib")), "a cut restore should leave no lib", s)

        s = answer_at_start_up(program, folder, question, b"n\n")
        with open(os.path.join(folder, "SLB.BUF"), "rb") as f:
            check(f.read() == snapshot, "SLB.BUF should be as it was", s)
        check(b"saving SLB" not in s.out, "no snapshot while lib is missing", s)

        os.remove(os.path.join(folder, "pipe"))
        s = answer_at_start_up(program, folder, question, b"y\n")
        with open(os.path.join(folder, "lib", "b.VORN"), "rb") as f:
            check(f.read() == b'$print$("b")', "the second restore should bring back b.VORN", s)
        check(sorted(os.listdir(folder)) == ["SLB.BUF", "lib", "pipe"],
              f"nothing else should be left: {sorted(os.listdir(folder))}", s)
        return None
    case.__name__ = f"restore_cut_short_by_{signal.Signals(sig).name}"
    return case


def long_compression(program, folder):
    s = Session(program, folder)
    try:
        s.wait_for(s.prompt)
        s.send(b't = ("abcdefghij" * 20000000)\n')
        s.wait_for(s.prompt, 2)
        mark = s.size()
        s.send(b"c = $_lz77compress$(t)\n")
        seconds = interrupt_after(s, b"error: interrupted\n", 0.2)
        s.wait_for(s.prompt, 3)
        check(s.after(mark) == b"\nerror: interrupted\n" + s.prompt, "one error line, then the prompt", s)
        # Abandoned, not finished: the new name never got the result.
        mark = s.size()
        s.send(b'$print$($varexists$("c"))\n')
        s.wait_for(s.prompt, 4)
        check(s.after(mark) == b"0\n" + s.prompt, "c should not have been made", s)
        return f"{seconds:.3f} s from Ctrl-C to the report"
    finally:
        s.close()


def over_long_line_is_dropped_whole(program, folder):
    if "sanitize" in os.environ.get("VORN_TEST_SKIP", "").split():
        return "skipped: AddressSanitizer cannot run under a limit on address space"
    s = Session(program, folder, address_space=512 << 20)
    try:
        s.wait_for(s.prompt)
        mark = s.size()
        # Far more than the limit leaves for one text: the read runs out of
        # memory part of the way through the blanks.
        s.send(b" " * (300 << 20) + b'$print$("the rest ran")\n$print$("next line")\n')
        s.wait_for(b"next line\n" + s.prompt)
        check(s.after(mark) == b"\nerror: out of memory: text too long\n" + s.prompt + b"next line\n" + s.prompt,
              "the whole line should be dropped with one error", s)
        return None
    finally:
        s.close()


def write_shared_nested_list(folder, depth, extra=""):
    """Writes nest.VORN, which builds L: a list nested `depth` deep whose two
    elements are, at every level, one and the same list, so that its text
    form has 2^depth elements. `extra` is run after it."""
    with open(os.path.join(folder, "nest.VORN"), "w") as f:
        f.write(f"list L\nadd L 1\ni = 0\nuntil (i < {depth}) {{\n    list M\n    add M L\n"
                f"    add M L\n    L = M\n    i += 1\n}}\n{extra}")


TOO_LONG = b"error: out of memory: text too long\n"
# Longer than the second in which a second Ctrl-C ends the program.
APART_SECONDS = 1.5


def shared_nested_list_is_refused_at_once(program, folder):
    """A list 40 levels deep whose two elements are one list has a text form
    of 2^40 elements, far past the 1 GiB limit: every builtin and statement
    that would make it says so before making any of it, within a little
    memory (without the sanitizers, under a limit on address space that a
    text of the limit's size could never fit in)."""
    sanitized = "sanitize" in os.environ.get("VORN_TEST_SKIP", "").split()
    s = Session(program, folder, address_space=None if sanitized else 768 << 20)
    try:
        s.wait_for(s.prompt)
        write_shared_nested_list(folder, 40, "list W\nadd W L\n")
        s.send(b'also "nest"\n')
        s.wait_for(s.prompt, 2)
        lines = [b"$print$(L)", b"s = $str$(L)", b"s = $func$(L)", b"s = $encodelist$(L)",
                 b"n = $_USEDMEMORY$(L)", b"e = (L == L)", b'where W "x" p', b"$print$(W)"]
        for number, line in enumerate(lines):
            mark = s.size()
            s.send(line + b"\n")
            s.wait_for(s.prompt, 3 + number)
            check(s.after(mark) == b"\n" + TOO_LONG + s.prompt, f"{line.decode()} should be refused", s)
        mark = s.size()
        s.send(b'$print$(($varexists$("s") + $varexists$("n") + $varexists$("e") + $varexists$("p")))\n')
        s.wait_for(s.prompt, 3 + len(lines))
        check(s.after(mark) == b"0\n" + s.prompt, "nothing refused should have been made", s)
        return None
    finally:
        s.close()


def long_builtins_honour_ctrl_c(program, folder):
    """Text forms that are long but within the limit, and the reading of a
    long list text, stop at Ctrl-C, leaving nothing made."""
    s = Session(program, folder)
    try:
        s.wait_for(s.prompt)
        # 3,000 elements, each a text form of 2^19 elements.
        write_shared_nested_list(folder, 19, "list W\ni = 0\nuntil (i < 3000) {\n    add W L\n    i += 1\n}\n")
        s.send(b'also "nest"\nt = ("(" + ("1 " * 30000000) + "1)")\n')
        s.wait_for(s.prompt, 3)
        results = []
        for number, (line, made) in enumerate(((b'where W "x" p', "p"), (b"D = $decodelist$(t)", "D"))):
            time.sleep(APART_SECONDS)
            mark = s.size()
            s.send(line + b"\n")
            seconds = interrupt_when_busy(s, b"error: interrupted\n", number + 1)
            s.wait_for(s.prompt, 4 + 2 * number)
            check(s.after(mark) == b"\nerror: interrupted\n" + s.prompt, "one error line, then the prompt", s)
            mark = s.size()
            s.send(b'$print$($varexists$("' + made.encode() + b'"))\n')
            s.wait_for(s.prompt, 5 + 2 * number)
            check(s.after(mark) == b"0\n" + s.prompt, f"{made} should not have been made", s)
            results.append(f"{line.decode()}: {seconds:.3f} s")
        return ", ".join(results)
    finally:
        s.close()


def wait_for_single_key_mode(s):
    """Waits until `getchar` has the terminal. The line editor's mode has no
    ICANON and no ECHO either, but keeps ISIG (Ctrl-C at the prompt is a
    signal); only the key read turns ISIG off."""
    wait_until_flag_off(s, "ISIG", "getchar")


def terminal_restored_after(sig):
    def case(program, folder):
        s = Session(program, folder, terminal=True)
        try:
            s.wait_for(s.prompt)
            s.send(b"k = $getchar\n")
            wait_for_single_key_mode(s)
            end_and_check_line_mode(s, sig)
            return None
        finally:
            s.close()
    case.__name__ = f"terminal_restored_after_{signal.Signals(sig).name}"
    return case


def terminal_restored_after_two_quick_ctrl_c(program, folder):
    """Typed while `getchar` has the terminal, Ctrl-C is a key; from outside,
    two SIGINTs a moment apart are a first press and a second one that ends
    the program, which gives the terminal its line mode back first."""
    s = Session(program, folder, terminal=True)
    try:
        s.wait_for(s.prompt)
        s.send(b"k = $getchar\n")
        wait_for_single_key_mode(s)
        s.press_ctrl_c()
        # Two signals sent at once may arrive as one.
        time.sleep(0.1)
        end_and_check_line_mode(s, signal.SIGINT)
        return None
    finally:
        s.close()


# Rounds per signal of the case below. A signal that lands while the mode is
# being switched left single-key mode behind in a few rounds in a hundred
# before the handler ran on the interpreter's own thread (more on a busy
# machine); many rounds make a return of that fault show.
SWITCH_ROUNDS = 8


def terminal_restored_while_the_mode_switches(program, folder):
    """The signal meets the terminal while its mode changes hands: right
    after the line that starts reading keys (the line editor gives the
    terminal back, getchar takes it), or while a loop of `getchar` reads a
    burst of keys and switches the mode for each one."""
    for round_number in range(SWITCH_ROUNDS):
        for sig in (signal.SIGTERM, signal.SIGHUP, signal.SIGQUIT):
            s = Session(program, folder, terminal=True)
            try:
                s.wait_for(s.prompt)
                s.send(b"until 1 { $getchar }\n")
                if round_number % 2:
                    wait_for_single_key_mode(s)
                    s.send(b"x" * 2000)
                end_and_check_line_mode(s, sig)
            finally:
                s.close()
    return f"{SWITCH_ROUNDS * 3} rounds"


# Signals whose default action ends the program, as a user or the system
# sends them: a closed window, kill, a timer, a CPU limit, an abort.
ENDING_SIGNALS = (signal.SIGTERM, signal.SIGHUP, signal.SIGQUIT, signal.SIGALRM, signal.SIGUSR1,
                  signal.SIGPIPE, signal.SIGXCPU, signal.SIGABRT)


def main():
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    if os.name == "nt":
        print("signal tests: skipped (POSIX only)")
        return 0
    program = os.path.abspath(sys.argv[1])
    cases = [fifo_read_at_the_prompt, fifo_in_lib_at_start_up, long_compression,
             fifo_writes] + [
        restore_cut_short_by(sig) for sig in (signal.SIGHUP, signal.SIGTERM, signal.SIGKILL)] + [
             over_long_line_is_dropped_whole, shared_nested_list_is_refused_at_once,
             long_builtins_honour_ctrl_c] + [
        terminal_restored_after(sig) for sig in ENDING_SIGNALS] + [
        terminal_restored_after_two_quick_ctrl_c, terminal_restored_while_the_mode_switches]
    return run_cases(cases, "vorn-signals-", lambda case, folder: case(program, folder))


if __name__ == "__main__":
    sys.exit(main())
