def main():
    with open("app.log") as f:
        text = f.read()
    if text.endswith("\n"):
        text = text[:-1]
    levels, users = {}, {}
    longest, errors, count = "", 0, 0
    for element in text.split("\n"):
        line = element.strip()
        parts = line.split(" ")
        level, user = parts[2], parts[3]
        levels[level] = levels.get(level, 0) + 1
        users[user] = users.get(user, 0) + 1
        message = " ".join(parts[4:14])
        if len(message) > len(longest):
            longest = message
        if "error" in message:
            errors += 1
        count += 1
    report = ""
    for level in sorted(levels):
        report += level.ljust(6, ".") + str(levels[level]).rjust(6) + ";"
    print(f"result: lines={count} users={len(users)} errors={errors} longest={longest.upper()} report={report}")


main()
