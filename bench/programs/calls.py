import sys

# The caller's variables that f reads: Python functions see their caller's
# names only when those are globals.
a = 3
b = 4


def f(x):
    return a + b + x


def main(n):
    t = 0
    i = 0
    while i < n:
        t += f(i)
        i += 1
    print("result: " + str(t))


main(int(sys.argv[1]))
