import base64
import sys

CHUNK = b"Base64 turns any bytes into text: 0123456789 ABCDEFGHIJKLMNOPQ!?"


def main(reps):
    data = CHUNK * reps
    coded = base64.b64encode(data)
    back = base64.b64decode(coded, validate=True)
    print("result: " + str(len(data)) + " " + str(len(coded)) + " " + str(int(back == data)))


main(int(sys.argv[1]))
