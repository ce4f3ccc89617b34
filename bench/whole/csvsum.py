def main():
    with open("data.csv") as f:
        text = f.read()
    if text.endswith("\n"):
        text = text[:-1]
    count, qty, total, low, high = 0, 0, 0.0, 0.0, 0.0
    cities = {}
    for row in text.split("\n")[1:]:
        fields = row.split(",")
        city, amount, units = fields[2], float(fields[3]), int(fields[4])
        total += amount
        qty += units
        cities[city] = cities.get(city, 0.0) + amount
        if count == 0 or amount < low:
            low = amount
        if count == 0 or amount > high:
            high = amount
        count += 1
    best, most = "", -1.0
    for city, s in cities.items():
        if s > most:
            best, most = city, s
    print(f"result: rows={count} qty={qty} total={total:.2f} min={low:.2f} max={high:.2f}"
          f" cities={len(cities)} top={best}:{most:.2f}")


main()
