#!/usr/bin/env python3
"""The interactive prompt at a terminal: the real program on a pseudo-terminal.

Keys are written to the terminal as a user types them: arrows as their escape
sequences, Ctrl-C as byte 3 (the terminal turns it into SIGINT), Ctrl-D as
byte 4. Checked: editing a line, recalling the previous one, continuation
lines for an unclosed brace, Ctrl-C and Ctrl-D at the prompt and during a
continuation, UTF-8 text typed at the prompt, and the Ctrl-C timing rule (a
press while the prompt waits never counts as the first of two; a press while
code runs does, for one second only), also with kill -INT on a pipe, at the
prompt and at the restore question.

Usage: run_terminal.py PROGRAM [--plain]
--plain: PROGRAM was built without a line editor; only the cases that do not
need one run.
POSIX only (pty module and signals).
"""
import os
import select
import signal
import subprocess
import sys
import time

from program_session import (WAIT_SECONDS, Session, check, end_and_check_line_mode, run_cases,
                             wait_until_flag_off)

LEFT = b"\x1b[D"
UP = b"\x1b[A"
CTRL_C = b"\x03"
CTRL_D = b"\x04"
ENDLESS_LINE = b"until 1 {}\r"
# Longer than the one second in which a second press ends the program.
APART_SECONDS = 3


class Terminal:
    """The program on the slave side of a pseudo-terminal."""

    def __init__(self, program, folder):
        import pty
        self.pid, self.fd = pty.fork()
        if self.pid == 0:
            os.chdir(folder)
            os.environ["TERM"] = "xterm"
            os.environ["LANG"] = "C.UTF-8"
            try:
                os.execv(program, [program])
            finally:
                os._exit(127)
        self.prompt = os.path.realpath(folder).encode() + b" $ "
        self.folder = folder
        self.out = b""
        self.status = None
        self.editor = True  # the program reads the prompt through a line editor

    def _read(self, timeout):
        ready, _, _ = select.select([self.fd], [], [], timeout)
        if not ready:
            return True
        try:
            chunk = os.read(self.fd, 4096)
        except OSError:  # the program has ended and closed the terminal
            chunk = b""
        if not chunk:
            return False
        self.out += chunk
        return True

    def wait_for(self, text, count=1):
        """Waits until `text` occurs `count` times in the output."""
        deadline = time.monotonic() + WAIT_SECONDS
        while self.out.count(text) < count:
            left = deadline - time.monotonic()
            if left <= 0 or not self._read(min(left, 0.1)):
                raise AssertionError(f"waited for {text!r} x{count}; output so far:\n{self.shown()}")

    def settle(self, seconds=0.3):
        """Reads whatever arrives within `seconds`."""
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline and self._read(0.05):
            pass

    def type(self, keys):
        os.write(self.fd, keys)

    def wait_for_editor(self):
        """Waits until the line editor has taken the terminal (echo off), so
        that keys typed now reach the editor, not the terminal's own echo."""
        import termios
        deadline = time.monotonic() + WAIT_SECONDS
        while termios.tcgetattr(self.fd)[3] & termios.ECHO:
            if time.monotonic() > deadline:
                raise AssertionError("the line editor never took the terminal; output:\n" + self.shown())
            self._read(0.02)

    def ready_for_key(self):
        """Before a control key at the prompt: with a line editor, waits until
        it has the terminal. A Ctrl-D that reaches the terminal while it is
        still in line mode, between two edited lines, is taken by the
        terminal as end-of-file there and lost when the editor switches to
        single-key mode."""
        if self.editor:
            self.wait_for_editor()

    def size(self):
        return len(self.out)

    def after(self, mark):
        return self.out[mark:]

    def shown(self):
        return self.out.decode("utf-8", "backslashreplace")

    def finish(self):
        """Waits for the program to end; returns its wait status."""
        deadline = time.monotonic() + WAIT_SECONDS
        while time.monotonic() < deadline:
            pid, status = os.waitpid(self.pid, os.WNOHANG)
            if pid:
                self.status = status
                return status
            self._read(0.05)
        raise AssertionError("the program did not end; output:\n" + self.shown())

    def close(self):
        if self.status is None:
            try:
                os.kill(self.pid, signal.SIGKILL)
                os.waitpid(self.pid, 0)
            except OSError:
                pass
        os.close(self.fd)


def exit_code(term, status):
    check(os.WIFEXITED(status), f"the program should exit, not end with wait status {status}", term)
    return os.WEXITSTATUS(status)


def run_line(term, keys, prompts_before):
    """Types keys and Enter, waits for the next prompt; returns the output between."""
    if keys.startswith(b"\x1b"):
        term.wait_for_editor()
    mark = term.size()
    term.type(keys + b"\r")
    term.wait_for(term.prompt, prompts_before + 1)
    return term.after(mark)


# ---- cases ------------------------------------------------------------------

def edited_line_runs_as_edited(term):
    term.wait_for(term.prompt)
    term.wait_for_editor()
    # Typed "ac", moved back over c, " and ), inserted b.
    shown = run_line(term, b'$print$("ac")' + LEFT * 3 + b"b", 1)
    check(b"\r\nabc\r\n" in shown, "the line should run as edited and print abc", term)
    check(b"\x1b[D" not in shown and b"^[[D" not in shown, "arrows must not reach the line", term)


def up_recalls_the_previous_line(term):
    term.wait_for(term.prompt)
    run_line(term, b"n = 1", 1)
    run_line(term, b"n += 10", 2)
    run_line(term, b"n += 10", 3)  # a repeat of the line before: not remembered
    run_line(term, b"", 4)  # an empty line: not remembered
    run_line(term, UP + UP, 5)  # so two steps back is n = 1
    shown = run_line(term, b"$print$(n)", 6)
    check(b"\r\n1\r\n" in shown, "Up Up should recall n = 1 (no repeats, no empty lines)", term)
    # Remembered now: n = 1, n += 10, n = 1, $print$(n).
    run_line(term, UP * 3, 7)
    shown = run_line(term, UP * 2, 8)
    check(b"\r\n11\r\n" in shown, "recalled lines should run as they were typed", term)


def continuation_lines_make_one_entry(term):
    term.wait_for(term.prompt)
    mark = term.size()
    term.type(b"greet = {\r")
    term.wait_for(b"\r\n... ")
    term.type(b'    $print$(("hello " + arg0))\r')
    term.wait_for(b"\r\n... ", 2)
    term.type(b"}\r")
    term.wait_for(term.prompt, 2)
    check(term.after(mark).count(b"... ") == 2, "two continuation prompts expected", term)
    shown = run_line(term, b'$greet$("you")', 2)
    check(b"\r\nhello you\r\n" in shown, "the function typed over three lines should run", term)
    # An open quote continues too, and the line end becomes part of the text.
    term.type(b't = "a\r')
    term.wait_for(b"\r\n... ", 3)
    term.type(b'b"\r')
    term.wait_for(term.prompt, 4)
    shown = run_line(term, b"$print$($size$(t))", 4)
    check(b"\r\n3\r\n" in shown, "a quoted text over two lines holds its line end", term)


def ctrl_c_and_ctrl_d_abandon_a_continuation(term):
    term.wait_for(term.prompt)
    run_line(term, b"kept = 7", 1)
    term.type(b"lost = {\r")
    term.wait_for(b"\r\n... ")
    term.type(b"    $print$(1)")
    term.settle()
    term.type(CTRL_C)
    term.wait_for(term.prompt, 3)
    term.type(b"lost2 = (1 +\r")
    term.wait_for(b"\r\n... ", 2)
    mark = term.size()
    term.ready_for_key()
    term.type(CTRL_D)
    term.wait_for(term.prompt, 4)
    check(b"unfinished entry abandoned\r\n" in term.after(mark),
          "Ctrl-D in a continuation should say that the entry is abandoned", term)
    shown = run_line(term, b"$print$(($varexists$(\"lost\") + $varexists$(\"lost2\") + kept))", 4)
    check(b"\r\n7\r\n" in shown, "abandoned entries should define nothing and keep the names", term)
    term.ready_for_key()
    term.type(CTRL_D)
    status = term.finish()
    check(exit_code(term, status) == 0, "the next Ctrl-D should end the program with 0", term)


def unbalanced_text_keeps_the_session(term):
    """Unbalanced text from a file, exec, eval or a function body is an error
    that says where it opened; the typed line is abandoned, the names stay."""
    with open(os.path.join(term.folder, "bad.VORN"), "w") as f:
        f.write('half = 1\nf = {\n    $print$(1)\n')
    with open(os.path.join(term.folder, "body.VORN"), "w") as f:
        f.write('g = {\n    y = ("a\n}\n')
    term.wait_for(term.prompt)
    run_line(term, b"kept = 7", 1)
    shown = run_line(term, b'also "bad"', 2)
    check(b"error: unbalanced text: a brace is never closed (in bad.VORN, line 2; also at the prompt)\r\n" in shown,
          "an unbalanced file should name the line where its brace opened", term)
    shown = run_line(term, b'exec "z = (1 + 2"', 3)
    check(b"error: unbalanced text: a parenthesis is never closed (in exec text; exec at the prompt)\r\n" in shown,
          "unbalanced exec text should be an error", term)
    run_line(term, b't = "1 + (2"', 4)
    shown = run_line(term, b"w = $eval$(t)", 5)
    check(b"error: unbalanced text: a parenthesis is never closed\r\n" in shown,
          "unbalanced eval text should be an error", term)
    run_line(term, b'also "body"', 6)
    shown = run_line(term, b"$g", 7)
    check(b"error: unbalanced text: a parenthesis is never closed (in body.VORN, line 2; $g called at the prompt)"
          in shown, "an unbalanced function body should name its line", term)
    shown = run_line(term, b'$print$((kept + $varexists$("half") + $varexists$("z") + $varexists$("w")))', 8)
    check(b"\r\n7\r\n" in shown, "the session's names should survive, and the failed lines define nothing", term)


def ctrl_c_at_the_prompt_gives_a_fresh_prompt(term):
    term.wait_for(term.prompt)
    run_line(term, b"x = 5", 1)
    mark = term.size()
    term.type(b"x = 99 $print$(gone)")
    term.settle()
    term.type(CTRL_C)
    term.wait_for(term.prompt, 3)
    shown = term.after(mark)
    check(shown.endswith(b"\r\n" + term.prompt), "the fresh prompt should start a new line", term)
    check(b"gone" not in shown.split(b"\r\n")[-1], "the typed text should be gone", term)
    shown = run_line(term, b"$print$(x)", 3)
    check(b"\r\n5\r\n" in shown, "the session's names should survive", term)
    # Ctrl-C again straight away at the new prompt: still only a fresh prompt.
    term.type(CTRL_C)
    term.wait_for(term.prompt, 5)
    term.type(CTRL_C)
    term.wait_for(term.prompt, 6)
    shown = run_line(term, b"$print$(x)", 6)
    check(b"\r\n5\r\n" in shown, "presses at the prompt must never end the session", term)


def ctrl_d_ends_with_status_zero(term):
    term.wait_for(term.prompt)
    run_line(term, b"$print$(\"bye\")", 1)
    term.ready_for_key()
    term.type(CTRL_D)
    status = term.finish()
    check(exit_code(term, status) == 0, "Ctrl-D at an empty prompt should end with 0", term)


def utf8_text_is_kept(term):
    term.wait_for(term.prompt)
    text = "grüße €😀".encode()
    shown = run_line(term, b'$print$("' + text + b'")', 1)
    check(b"\r\n" + text + b"\r\n" in shown, "typed UTF-8 should come back byte for byte", term)
    shown = run_line(term, b'$print$($size$("' + text + b'"))', 2)
    check(b"\r\n" + str(len(text)).encode() + b"\r\n" in shown, "the line holds the typed bytes", term)


def idle_press_never_arms(term):
    term.wait_for(term.prompt)
    run_line(term, b"x = 1", 1)
    # A press at the idle prompt, then at once a line that runs, and a press
    # within the second: that is a first press, which interrupts the line.
    term.type(CTRL_C)
    term.wait_for(term.prompt, 3)
    term.type(ENDLESS_LINE)
    time.sleep(0.3)
    term.type(CTRL_C)
    term.wait_for(b"error: interrupted")
    term.wait_for(term.prompt, 4)
    # A press that interrupted code, then more than a second later another
    # one while code runs again: again only an interruption.
    time.sleep(APART_SECONDS)
    term.type(ENDLESS_LINE)
    time.sleep(0.3)
    term.type(CTRL_C)
    term.wait_for(b"error: interrupted", 2)
    term.wait_for(term.prompt, 5)
    shown = run_line(term, b"$print$(x)", 5)
    check(b"\r\n1\r\n" in shown, "the session should survive presses apart", term)


def quick_second_press_still_ends_the_program(term):
    term.wait_for(term.prompt)
    term.type(ENDLESS_LINE)
    time.sleep(0.3)
    term.type(CTRL_C)
    time.sleep(0.1)
    term.type(CTRL_C)
    status = term.finish()
    check(os.WIFSIGNALED(status) and os.WTERMSIG(status) == signal.SIGINT,
          f"two quick presses should end the program by SIGINT, not wait status {status}", term)


def idle_presses_on_a_pipe_never_arm(program, folder):
    """kill -INT while the prompt waits on a pipe: never the first of two."""
    proc = subprocess.Popen([program], cwd=folder, stdin=subprocess.PIPE,
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    try:
        time.sleep(1)
        proc.send_signal(signal.SIGINT)
        time.sleep(APART_SECONDS)
        proc.send_signal(signal.SIGINT)
        time.sleep(0.3)
        proc.send_signal(signal.SIGINT)  # quick, but the earlier ones were idle
        time.sleep(0.3)
        out, _ = proc.communicate(b"$print$(\"still here\")\n", timeout=WAIT_SECONDS)
        if proc.returncode != 0 or b"still here\n" not in out:
            raise AssertionError(f"status {proc.returncode}; output:\n{out.decode(errors='replace')}")
    finally:
        if proc.poll() is None:
            proc.kill()


# Without a line editor the terminal's own line editing reads the prompt, and
# Ctrl-C there waits for Enter; what does not depend on that is still checked.
PLAIN_CASES = (continuation_lines_make_one_entry, ctrl_d_ends_with_status_zero, unbalanced_text_keeps_the_session,
               quick_second_press_still_ends_the_program)
def idle_presses_at_the_restore_question_never_arm(program, folder):
    """The same for the boot script's own question, asked when lib is missing."""
    os.rmdir(os.path.join(folder, "lib"))
    proc = subprocess.Popen([program], cwd=folder, stdin=subprocess.PIPE,
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    try:
        time.sleep(1)
        proc.send_signal(signal.SIGINT)
        time.sleep(APART_SECONDS)
        proc.send_signal(signal.SIGINT)
        time.sleep(0.3)
        out, _ = proc.communicate(b"n\n$print$(\"still here\")\n", timeout=WAIT_SECONDS)
        if proc.returncode != 0 or b"still here\n" not in out:
            raise AssertionError(f"status {proc.returncode}; output:\n{out.decode(errors='replace')}")
    finally:
        if proc.poll() is None:
            proc.kill()


def ending_signals_give_the_terminal_back(program, folder):
    """A signal that ends the program (a closed window, kill, a timer, a CPU
    limit, an abort) while the editor holds the terminal: its line mode
    (canonical input, echo, signal keys) is back afterwards."""
    for sig in (signal.SIGTERM, signal.SIGHUP, signal.SIGQUIT, signal.SIGALRM, signal.SIGUSR1,
                signal.SIGPIPE, signal.SIGXCPU, signal.SIGABRT):
        s = Session(program, folder, terminal=True, env=dict(os.environ, TERM="xterm"), new_session=True)
        try:
            wait_until_flag_off(s, "ECHO", "the line editor")
            end_and_check_line_mode(s, sig)
        finally:
            s.close()


EDITOR_CASES = (edited_line_runs_as_edited, up_recalls_the_previous_line, utf8_text_is_kept,
                ctrl_c_and_ctrl_d_abandon_a_continuation, ctrl_c_at_the_prompt_gives_a_fresh_prompt,
                idle_press_never_arms)


def main():
    args = sys.argv[1:]
    plain = "--plain" in args
    args = [a for a in args if a != "--plain"]
    if len(args) != 1:
        print(__doc__, file=sys.stderr)
        return 2
    if os.name == "nt":
        print("terminal tests: skipped (POSIX only)")
        return 0
    program = os.path.abspath(args[0])
    cases = PLAIN_CASES if plain else EDITOR_CASES + PLAIN_CASES
    pipe_cases = (idle_presses_on_a_pipe_never_arm, idle_presses_at_the_restore_question_never_arm)
    if not plain:
        pipe_cases += (ending_signals_give_the_terminal_back,)

    def run(case, folder):
        if case in pipe_cases:  # these start the program themselves
            return case(program, folder)
        term = Terminal(program, folder)
        try:
            term.editor = not plain
            return case(term)
        finally:
            term.close()

    return run_cases(cases + pipe_cases, "vorn-terminal-", run)


if __name__ == "__main__":
    sys.exit(main())
