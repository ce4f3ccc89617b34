import sys


class Counter:
    def __init__(self):
        self.n = 0

    def bump(self, d):
        self.n += d


def main(k, m):
    objs = []
    i = 0
    while i < k:
        objs.append(Counter())
        i += 1
    r = 0
    calls = 0
    while calls < m:
        r += 1
        for o in objs:
            o.bump(r)
        calls += k
    t = 0
    for o in objs:
        t += o.n
    print("result: " + str(calls) + " " + str(t))


main(int(sys.argv[1]), int(sys.argv[2]))
