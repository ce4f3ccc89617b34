#!/usr/bin/env python3
"""Ctrl-C at the prompt: the real program, driven through a pipe, gets SIGINT.

A first press while a line runs abandons that line with "error: interrupted"
and the prompt comes back with the session's names intact; a press while the
prompt waits interrupts nothing; a press in an operation that then fails
on its own adds no second error line; a press while _rm removes a tree
stops it at the next entry; two presses in quick succession end the
program the usual way (killed by SIGINT).

Usage: run_interrupt.py PROGRAM
POSIX only: a Windows console control event cannot be sent through a pipe.
"""
import os
import signal
import sys
import tempfile
import time

from program_session import WAIT_SECONDS, Session, check, run_cases

# Presses closer than this count as one double press; the program compares
# whole seconds, so a pause that must not count waits a little over two.
APART_SECONDS = 2.5
ENDLESS_LINE = b"until 1 {}\n"


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
        s.end_input()
        status = s.proc.wait(WAIT_SECONDS)
        check(status == 0, f"end of input should end the session with 0, not {status}", s)
    finally:
        s.close()


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
        s.close()


def press_in_a_failing_operation_gives_one_error(program, folder):
    """Ctrl-C while an operation that ignores it waits (a key read from a
    pipe), the operation then failing on its own: one error line, the
    operation's, and the next line runs whole."""
    s = Session(program, folder)
    try:
        s.wait_for(s.prompt)
        mark = s.size()
        s.send(b"k = $int$($getchar)\n")
        time.sleep(0.5)
        s.press_ctrl_c()
        time.sleep(0.3)
        s.send(b"q")
        s.wait_for(s.prompt, 2)
        check(s.after(mark) == b"\nerror: stoi: q\n" + s.prompt, "one error line, then the prompt", s)
        time.sleep(APART_SECONDS)
        mark = s.size()
        s.send(b'$print$("next")\n')
        s.wait_for(s.prompt, 3)
        check(s.after(mark) == b"next\n" + s.prompt, "the next line should run", s)
    finally:
        s.close()


def press_during_rm_of_a_large_tree(program, folder):
    """Ctrl-C while _rm removes a tree of many files: the removal stops at
    the next entry with "error: interrupted", what is left stays, and a
    second _rm removes the rest. The tree is made in memory where the
    system offers a folder for it: 20,000 files take seconds to create on
    a busy disk."""
    memory = "/dev/shm"
    base = memory if os.path.isdir(memory) and os.access(memory, os.W_OK) else folder
    with tempfile.TemporaryDirectory(prefix="vorn-rm-", dir=base) as holder:
        tree = os.path.join(holder, "tree")
        folders, files = 40, 500
        for i in range(folders):
            sub = os.path.join(tree, f"d{i}")
            os.makedirs(sub)
            for j in range(files):
                os.close(os.open(os.path.join(sub, f"f{j}"), os.O_CREAT | os.O_WRONLY))
        s = Session(program, folder)
        try:
            s.wait_for(s.prompt)
            mark = s.size()
            s.send(b'$_rm$("' + tree.encode() + b'")\n')
            # Pressed once the first folder is gone, with most of the tree
            # still to go: removing the rest takes far longer than the press.
            deadline = time.monotonic() + WAIT_SECONDS
            while len(os.listdir(tree)) == folders and time.monotonic() < deadline:
                time.sleep(0.001)
            s.press_ctrl_c()
            s.wait_for(s.prompt, 2)
            check(s.after(mark) == b"\nerror: interrupted\n" + s.prompt, "one error line, then the prompt", s)
            left = len(os.listdir(tree)) if os.path.isdir(tree) else 0
            check(0 < left < folders, f"the removal should stop partway, not leave {left} of {folders} folders", s)

            time.sleep(APART_SECONDS)
            mark = s.size()
            s.send(b'$_rm$("' + tree.encode() + b'")\n$print$("removed")\n')
            s.wait_for(b"removed\n" + s.prompt, 1)
            check(s.after(mark) == s.prompt + b"removed\n" + s.prompt, "the second _rm should remove the rest", s)
            check(not os.path.exists(tree), "nothing of the tree should be left", s)
        finally:
            s.close()


def main():
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    if os.name == "nt":
        print("interrupt tests: skipped (POSIX signals only)")
        return 0
    program = os.path.abspath(sys.argv[1])
    return run_cases((first_press_abandons_the_line, double_press_ends_the_program,
                      press_in_a_failing_operation_gives_one_error, press_during_rm_of_a_large_tree),
                     "vorn-interrupt-",
                     lambda case, folder: case(program, folder))


if __name__ == "__main__":
    sys.exit(main())
