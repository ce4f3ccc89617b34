import os

totals = {"files": 0, "folders": 0, "bytes": 0, "largest": 0}


def walk(folder):
    for name in os.listdir(folder):
        path = folder + "/" + name
        if os.path.isdir(path):
            totals["folders"] += 1
            walk(path)
        else:
            with open(path) as f:
                text = f.read()
            if text.endswith("\n"):
                text = text[:-1]
            totals["files"] += 1
            totals["bytes"] += len(text)
            totals["largest"] = max(totals["largest"], len(text))


walk("tree")
print("result: files={files} folders={folders} bytes={bytes} largest={largest}".format(**totals))
