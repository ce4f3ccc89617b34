# The text grows in a list that is joined once: CPython's `s += piece` on a
# text of megabytes goes quadratic through the memory allocator (each append
# can move the text), about 15 s for 400,000 characters on the reference
# machine, and a list and join is how Python code builds long texts.
import sys


def main(n):
    parts = []
    i = 0
    while i < n:
        parts.append("abc ")
        i += 4
    s = "".join(parts)
    c = 0
    for ch in s:
        if ch == "b":
            c += 1
    print("result: " + str(len(s)) + " " + str(c))


main(int(sys.argv[1]))
