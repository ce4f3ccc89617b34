# VORN's list text: (1 "item1" 2 ...), texts in double quotes, numbers bare.
import re
import sys

TOKEN = re.compile(r'"[^"]*"|[^ ]+')


def encode(items):
    return "(" + " ".join('"' + e + '"' if isinstance(e, str) else str(e) for e in items) + ")"


def decode(text):
    out = []
    for tok in TOKEN.findall(text[1:-1]):
        out.append(tok[1:-1] if tok[0] == '"' else int(tok))
    return out


def main(n, rounds):
    items = []
    i = 0
    while i < n:
        items.append(i)
        items.append("item" + str(i))
        i += 2
    ok = 0
    for _ in range(rounds):
        coded = encode(items)
        back = decode(coded)
        again = encode(back)
        if again == coded:
            ok += 1
    print("result: " + str(len(coded)) + " " + str(len(back)) + " " + str(ok))


main(int(sys.argv[1]), int(sys.argv[2]))
