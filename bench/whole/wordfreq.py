import sys


def main():
    with open("input.txt") as f:
        text = f.read()
    if text.endswith("\n"):
        text = text[:-1]
    text = text.lower().translate(str.maketrans(".,;:!?", "      "))
    counts = {}
    total = 0
    for word in text.split():
        counts[word] = counts.get(word, 0) + 1
        total += 1
    keys = list(counts)
    values = list(counts.values())
    top = ""
    for _ in range(5):
        best, found = -1, 0
        for at, v in enumerate(values):
            if v > best:
                best, found = v, at
        top += " " + keys[found] + ":" + str(best)
        values[found] = -1
    print("result: words=" + str(total) + " distinct=" + str(len(counts)) + " top=" + top)


main()
