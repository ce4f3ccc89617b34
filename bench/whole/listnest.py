import sys


def encode(value):
    if isinstance(value, list):
        return "(" + " ".join(encode(v) for v in value) + ")"
    if isinstance(value, str):
        return '"' + value + '"'
    return repr(value)


def decode(text, i=0):
    """Reads the list text that starts at position i; returns the list and
    the position after it."""
    out = []
    i += 1
    while text[i] != ")":
        if text[i] == " ":
            i += 1
        elif text[i] == "(":
            inner, i = decode(text, i)
            out.append(inner)
        elif text[i] == '"':
            close = text.index('"', i + 1)
            out.append(text[i + 1:close])
            i = close + 1
        else:
            stop = i
            while text[stop] not in " )":
                stop += 1
            token = text[i:stop]
            out.append(float(token) if "." in token else int(token))
            i = stop
    return out, i + 1


def main(n, rounds):
    records = [[i, "name " + str(i), [i * 2, i * 3], i + 0.25 * (1 + i % 3)] for i in range(n)]
    coded = encode(records)
    same = 0
    back = None
    for _ in range(rounds):
        back, _ = decode(coded)
        if encode(back) == coded:
            same += 1
    total = 0.0
    for record in back:
        total += record[2][1] + record[3]
    print(f"result: chars={len(coded)} records={len(back)} sum={total:.2f} same={same}")


main(int(sys.argv[1]), int(sys.argv[2]))
