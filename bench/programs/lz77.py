# VORN's LZ77 builtin has no counterpart here; zlib at level 9 (LZ77 plus
# Huffman coding, in C) does the comparable work on the same text.
import sys
import zlib

SUBJECTS = ["The quick brown fox", "A lazy dog", "The old lighthouse keeper",
            "Every curious child", "Our neighbour's cat"]
VERBS = ["jumps over", "walks along", "quietly watches", "dreams about",
         "runs past", "writes a letter to", "sings softly near"]
OBJECTS = ["the sleeping river", "a field of golden wheat",
           "the noisy market square", "an empty wooden bench",
           "the tall stone tower", "a basket of red apples",
           "the harbour at dawn", "seven silver spoons",
           "the edge of the forest", "a forgotten garden",
           "the last train home"]


def main(target, rounds):
    text = ""
    si = vi = oi = 0
    count = 0
    while len(text) < target:
        text += SUBJECTS[si] + " " + VERBS[vi] + " " + OBJECTS[oi] + ". "
        si += 1
        vi += 1
        oi += 1
        count += 1
        if si == 5:
            si = 0
        if vi == 7:
            vi = 0
        if oi == 11:
            oi = 0
    data = text.encode()
    ok = 0
    for _ in range(rounds):
        packed = zlib.compress(data, 9)
        back = zlib.decompress(packed)
        if back == data:
            ok += 1
    print("result: " + str(len(text)) + " " + str(count) + " " + str(ok))


main(int(sys.argv[1]), int(sys.argv[2]))
