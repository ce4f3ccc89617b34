"""The real program driven by a test, shared by the runners that talk to it
while it runs (run_signals.py, run_interrupt.py, run_terminal.py).

A Session starts the program in a folder with its input through a pipe, or
through a pseudo-terminal when `terminal` is set, and collects its output on
a thread of its own. POSIX only (pty, termios, rlimits).
"""
import os
import signal
import subprocess
import tempfile
import threading
import time

if os.name != "nt":  # a runner on Windows only says that it is skipped
    import pty
    import resource
    import termios

WAIT_SECONDS = 60


def no_core_file():
    resource.setrlimit(resource.RLIMIT_CORE, (0, 0))


class Session:
    """The program with its output collected. `address_space` limits the
    program's memory (pipe only); `env` replaces its environment and
    `new_session` starts it in a session of its own (terminal only)."""

    def __init__(self, program, folder, terminal=False, address_space=None, env=None,
                 new_session=False):
        self.slave = None
        if terminal:
            master, self.slave = pty.openpty()
            # A signal that ends the program must not leave a core file.
            start = (lambda: (os.setsid(), no_core_file())) if new_session else no_core_file
            self.proc = subprocess.Popen(
                [program], cwd=folder, stdin=self.slave, stdout=self.slave, stderr=self.slave,
                env=env, preexec_fn=start)
            self.reader, self.writer = master, master
        else:
            limit = (lambda: resource.setrlimit(resource.RLIMIT_AS, (address_space, address_space))
                     ) if address_space else None
            self.proc = subprocess.Popen(
                [program], cwd=folder, stdin=subprocess.PIPE,
                stdout=subprocess.PIPE, stderr=subprocess.STDOUT, preexec_fn=limit)
            self.reader, self.writer = self.proc.stdout.fileno(), self.proc.stdin.fileno()
        self.prompt = os.path.realpath(folder).encode() + b" $ "
        self.out = b""
        self.lock = threading.Condition()
        self.collector = threading.Thread(target=self._collect, daemon=True)
        self.collector.start()

    def _collect(self):
        while True:
            try:
                chunk = os.read(self.reader, 4096)
            except OSError:  # a terminal whose program has ended
                chunk = b""
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
                                         + self.shown())
                self.lock.wait(left)

    def send(self, data):
        view = memoryview(data)
        while view:
            view = view[os.write(self.writer, view):]

    def press_ctrl_c(self):
        """SIGINT, as a terminal sends for Ctrl-C."""
        self.proc.send_signal(signal.SIGINT)

    def end_input(self):
        """Closes the pipe to the program's standard input."""
        self.proc.stdin.close()

    def size(self):
        with self.lock:
            return len(self.out)

    def after(self, start):
        with self.lock:
            return self.out[start:]

    def shown(self):
        return self.out.decode("utf-8", "backslashreplace")

    def close(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        # With the program gone and the slave side closed the collector's
        # read ends; only then may what it reads from be closed. Closed under
        # a collector that is about to read again, the descriptor's number
        # could be the next session's by then, and the collector would take
        # that session's output.
        if self.slave is not None:
            os.close(self.slave)
        self.collector.join(WAIT_SECONDS)
        if self.slave is not None:
            os.close(self.reader)
        else:
            self.proc.stdout.close()
            self.proc.stdin.close()


def check(condition, message, session):
    if not condition:
        raise AssertionError(message + "; output:\n" + session.shown())


def line_mode_flags(descriptor):
    """Which of the terminal's line-mode flags are on."""
    lflag = termios.tcgetattr(descriptor)[3]
    return {name: bool(lflag & getattr(termios, name)) for name in ("ICANON", "ECHO", "ISIG")}


def wait_until_flag_off(s, flag, what):
    """Waits until the program's terminal has `flag` off; `what` names who
    turns it off, for the failure."""
    deadline = time.monotonic() + WAIT_SECONDS
    while line_mode_flags(s.slave)[flag]:
        check(time.monotonic() < deadline and s.proc.poll() is None, f"{what} never took the terminal", s)
        time.sleep(0.01)


def end_and_check_line_mode(s, sig):
    """Sends `sig`, which must end the program, and checks that the terminal
    is back in line mode (canonical input, echo, signal keys)."""
    s.proc.send_signal(sig)
    status = s.proc.wait(WAIT_SECONDS)
    check(status == -sig, f"{signal.Signals(sig).name} should end the program, not status {status}", s)
    flags = line_mode_flags(s.slave)
    check(all(flags.values()), f"line mode should be back after {signal.Signals(sig).name}: {flags}", s)


def run_cases(cases, prefix, run):
    """Runs each case in a fresh temporary folder holding an empty lib folder
    (the session starts without the restore question) through
    `run(case, folder)`, which may return a note; reports every case, then
    returns the exit status."""
    failures = 0
    for case in cases:
        with tempfile.TemporaryDirectory(prefix=prefix) as folder:
            os.mkdir(os.path.join(folder, "lib"))
            try:
                note = run(case, folder)
                print(f"ok   {case.__name__}" + (f" ({note})" if note else ""))
            except Exception as e:  # report every case, then fail
                failures += 1
                print(f"FAIL {case.__name__}: {e}")
    return 1 if failures else 0
