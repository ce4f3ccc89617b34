import sys


def main(n):
    x = 0
    while x < n:
        x += 1
    print("result: " + str(x))


main(int(sys.argv[1]))
