import re
import sys

TOKEN = re.compile(r'\((\d+) "([^"]*)" (\d+)\)')


def encode(items):
    return "(" + " ".join(f'({i} "{t}" {d})' for i, t, d in items) + ")"


def decode(text):
    return [[int(i), t, int(d)] for i, t, d in TOKEN.findall(text)]


def save(items):
    with open("todo.txt", "w") as f:
        f.write(encode(items))


def load():
    with open("todo.txt") as f:
        return decode(f.read())


def main(n):
    todo = [[i, "task number " + str(i), 0] for i in range(1, n + 1)]
    save(todo)
    todo = load()
    done = 0
    for item in todo:
        if item[0] % 3 == 0:
            item[2] = 1
            done += 1
    save(todo)
    todo = load()
    left = [item for item in todo if item[2] == 0]
    save(left)
    with open("todo.txt") as f:
        saved = f.read()
    print(f"result: items={len(todo)} done={done} left={len(left)} bytes={len(saved)} first={left[0][1].upper()}")


main(int(sys.argv[1]))
