import sys

# As calls.py, with 40 more variables beside a and b.
# The caller's variables that f reads: Python functions see their caller's
# names only when those are globals.
a = 3
b = 4
v0 = 0
v1 = 1
v2 = 2
v3 = 3
v4 = 4
v5 = 5
v6 = 6
v7 = 7
v8 = 8
v9 = 9
v10 = 10
v11 = 11
v12 = 12
v13 = 13
v14 = 14
v15 = 15
v16 = 16
v17 = 17
v18 = 18
v19 = 19
v20 = 20
v21 = 21
v22 = 22
v23 = 23
v24 = 24
v25 = 25
v26 = 26
v27 = 27
v28 = 28
v29 = 29
v30 = 30
v31 = 31
v32 = 32
v33 = 33
v34 = 34
v35 = 35
v36 = 36
v37 = 37
v38 = 38
v39 = 39


def f(x):
    return a + b + x


def main(n):
    t = 0
    i = 0
    while i < n:
        t += f(i)
        i += 1
    print("result: " + str(t))


main(int(sys.argv[1]))
