import sys


def main(n):
    L = []
    i = 0
    while i < n:
        L.append(i)
        i += 1
    t = 0
    for e in L:
        t += e
    try:
        p = L.index(n - 3)
    except ValueError:
        p = -1
    print("result: " + str(len(L)) + " " + str(t) + " " + str(p))


main(int(sys.argv[1]))
