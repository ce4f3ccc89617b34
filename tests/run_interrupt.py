#!/usr/bin/env python3
"""Ctrl-C at the prompt: the real program, driven through a pipe, gets SIGINT.

A first press while a line runs abandons that line with "error: interrupted"
and the prompt comes back with the session's names intact; a press while the
prompt waits interrupts nothing; two presses in quick succession end the
program the usual way (killed by SIGINT).

Usage: run_interrupt.py PROGRAM
POSIX only: a Windows console control event cannot be sent through a pipe.
"""
import os
import signal
import subprocess
import sys
import tempfile
import threading
import time

WAIT_SECONDS = 60
# Presses closer than this count as one double press; the program compares
# whole seconds, so a pause that must not count waits a little over two.
APART_SECONDS = 2.5
ENDLESS_LINE = b"until 1 {}\n"


class Session:
    def __init__(self, program, folder):
        self.proc = subprocess.Popen(
            [program], cwd=folder, stdin=subprocess.PIPE,
            stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        self.prompt = os.path.realpath(folder).encode() + b" $ "
        self.out = b""
        self.lock = threading.Condition()
        threading.Thread(target=self._collect, daemon=True).start()

    def _collect(self):
        while True:
            chunk = os.read(self.proc.stdout.fileno(), 4096)
            with self.lock:
                if not chunk:
                    self.out += b"<end of output>"
                    self.lock.notify_all()
                    return
                self.out += chunk
                self.lock.notify_all()

    def wait_for(self, text, count=1):
        """Waits until `text` occurs `count` times in the output."""
        deadline = time.monotonic() + WAIT_SECONDS
        with self.lock:
            while self.out.count(text) < count:
                left = deadline - time.monotonic()
                if left <= 0 or self.out.endswith(b"<end of output>"):
                    raise AssertionError(f"waited for {text!r} x{count}; output so far:\n"
                                         + self.out.decode("utf-8", "backslashreplace"))
                self.lock.wait(left)

    def send(self, line):
        self.proc.stdin.write(line)
        self.proc.stdin.flush()

    def press_ctrl_c(self):
        self.proc.send_signal(signal.SIGINT)

    def after(self, start):
        with self.lock:
            return self.out[start:]

    def size(self):
        with self.lock:
            return len(self.out)


def check(condition, message, session):
    if not condition:
        raise AssertionError(message + "; output:\n"
                             + session.out.decode("utf-8", "backslashreplace"))


def first_press_abandons_the_line(program, folder):
    s = Session(program, folder)
    try:
        s.wait_for(s.prompt)
        s.send(b"x = 5\n")
        s.wait_for(s.prompt, 2)
        # The line has started once it has had time to; pressing too early is
        # harmless too: the flag waits for the next statement.
        mark = s.size()
        s.send(ENDLESS_LINE)
        time.sleep(0.3)
        s.press_ctrl_c()
        s.wait_for(s.prompt, 3)
        check(s.after(mark) == b"\nerror: interrupted\n" + s.prompt,
              "the interrupted line should report one error line", s)

        # A press while the prompt waits is forgotten once a line is read.
        time.sleep(APART_SECONDS)
        s.press_ctrl_c()
        time.sleep(0.3)
        mark = s.size()
        s.send(b"$print$(x)\n")
        s.wait_for(s.prompt, 4)
        check(s.after(mark) == b"5\n" + s.prompt,
              "the names should survive and the next line run whole", s)

        # And the next long line can be interrupted again.
        time.sleep(APART_SECONDS)
        s.send(ENDLESS_LINE)
        time.sleep(0.3)
        s.press_ctrl_c()
        s.wait_for(b"error: interrupted", 2)
        s.wait_for(s.prompt, 5)
        s.proc.stdin.close()
        status = s.proc.wait(WAIT_SECONDS)
        check(status == 0, f"end of input should end the session with 0, not {status}", s)
    finally:
        if s.proc.poll() is None:
            s.proc.kill()


def double_press_ends_the_program(program, folder):
    s = Session(program, folder)
    try:
        s.wait_for(s.prompt)
        s.send(ENDLESS_LINE)
        time.sleep(0.3)
        s.press_ctrl_c()
        # Apart by as little as a hand allows: two signals sent at once may
        # arrive as one.
        time.sleep(0.1)
        s.press_ctrl_c()
        status = s.proc.wait(WAIT_SECONDS)
        check(status == -signal.SIGINT,
              f"two quick presses should end the program by SIGINT, not status {status}", s)
    finally:
        if s.proc.poll() is None:
            s.proc.kill()


def main():
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    if os.name == "nt":
        print("interrupt tests: skipped (POSIX signals only)")
        return 0
    program = os.path.abspath(sys.argv[1])
    failures = 0
    for case in (first_press_abandons_the_line, double_press_ends_the_program):
        with tempfile.TemporaryDirectory(prefix="vorn-interrupt-") as folder:
            # An empty lib folder: the session starts without the restore question.
            os.mkdir(os.path.join(folder, "lib"))
            try:
                case(program, folder)
                print(f"ok   {case.__name__}")
            except Exception as e:  # report every case, then fail
                failures += 1
                print(f"FAIL {case.__name__}: {e}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
