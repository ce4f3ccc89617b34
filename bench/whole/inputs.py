WORDS = ("the of and to in is that it was for on are with as his they be at one have this from "
         "or had by hot word but what some we can out other were all there when up use your how "
         "said an each she which do their time if will way about many then them write would like "
         "so these her long make thing see him two has look more day could go come did number "
         "sound no most people my over know water than call first who may down side been now find "
         "River Stone Garden Winter Market Harbor Letter Window Morning Island").split()
PUNCT = [",", ".", ";", ":", "!", "?", "", "", "", "", "", ""]


def lcg(seed):
    """The same numbers in every run and on every machine."""
    state = seed
    while True:
        state = (state * 1103515245 + 12345) % 2147483648
        yield state >> 8


def text_of(size, seed=7):
    """English-like lines of words and punctuation, `size` bytes, no line
    end at the very end."""
    numbers = lcg(seed)
    out, line = [], ""
    total = 0
    while total < size:
        word = WORDS[next(numbers) % len(WORDS)] + PUNCT[next(numbers) % len(PUNCT)]
        if len(line) + len(word) + 1 > 60:
            out.append(line)
            total += len(line) + 1
            line = ""
        line = word if not line else line + " " + word
    out.append(line)
    return "\n".join(out)[:size].rstrip("\n ")


def write(folder, name, text):
    import os
    with open(os.path.join(folder, name), "w", newline="\n") as f:
        f.write(text)


def wordfreq_inputs(folder, params):
    write(folder, "input.txt", text_of(params["T"]))


CITIES = ["Paris", "Lyon", "Oslo", "Rome", "Kyiv", "Lima", "Cairo", "Quito"]


def csv_inputs(folder, params):
    numbers = lcg(11)
    rows = ["id,name,city,amount,qty"]
    for i in range(params["N"]):
        amount = (next(numbers) % 400000) / 4
        rows.append(f"{i},item{i},{CITIES[next(numbers) % len(CITIES)]},{amount:.2f},{next(numbers) % 50}")
    write(folder, "data.csv", "\n".join(rows))


def dir_inputs(folder, params):
    import os
    numbers = lcg(5)
    root = os.path.join(folder, "tree")
    os.mkdir(root)
    made = 0
    level = [root]
    while made < params["F"]:
        nxt = []
        for d in level:
            for k in range(3):
                sub = os.path.join(d, f"d{k}")
                os.mkdir(sub)
                nxt.append(sub)
            for k in range(4):
                if made >= params["F"]:
                    break
                write(d, f"f{k}.txt", "x" * (next(numbers) % 3000))
                made += 1
        level = nxt


LEVELS = ["INFO", "INFO", "INFO", "WARN", "ERROR", "DEBUG"]
EVENTS = ["login ok", "logout", "upload done", "disk almost full", "error: timeout", "retry",
          "payment accepted", "cache miss", "error: not found", "session renewed"]


def log_inputs(folder, params):
    numbers = lcg(3)
    lines = []
    total = 0
    i = 0
    while total < params["T"]:
        pad = " " * (next(numbers) % 3)
        line = (f"{pad}2026-12-{1 + next(numbers) % 28:02d} {next(numbers) % 24:02d}:{next(numbers) % 60:02d} "
                f"{LEVELS[next(numbers) % len(LEVELS)]} user{next(numbers) % 97} {EVENTS[next(numbers) % len(EVENTS)]}{pad}")
        lines.append(line)
        total += len(line) + 1
        i += 1
    write(folder, "app.log", "\n".join(lines))
