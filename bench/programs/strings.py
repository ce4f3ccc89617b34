import sys


def main(n):
    s = ""
    i = 0
    while i < n:
        s += "abc "
        i += 4
    c = 0
    for ch in s:
        if ch == "b":
            c += 1
    print("result: " + str(len(s)) + " " + str(c))


main(int(sys.argv[1]))
