"""The same transfers as RestBench, made by a plain http.client against the
same stand-in, one figure per run, so that the client's figures have
something to stand beside.

  python_client.py metadata PORT SESSION DOMAIN FILE_ID COUNT
  python_client.py upload   PORT SESSION DOMAIN FILE NAME
  python_client.py download PORT SESSION DOMAIN FILE_ID OUT

Prints "name value unit" lines (upload also "uploaded-id ID")."""

import http.client
import json
import sys
import time

CHUNK = 1 << 20


def connect(port, session, domain):
    headers = {"Host": "drive-api.localhost", "SESSION": session, "Brelio-Tenant-Domain": domain}
    return http.client.HTTPConnection("127.0.0.1", int(port)), headers


def metadata(conn, headers, file_id, count):
    count = int(count)
    start = time.perf_counter()
    for _ in range(count):
        conn.request("GET", "/files/%s?media=meta" % file_id, headers=headers)
        answer = conn.getresponse()
        answer.read()
        if answer.status != 200:
            sys.exit("metadata request failed: %d" % answer.status)
    print("metadata %.0f requests/s" % (count / (time.perf_counter() - start)))


def upload(conn, headers, path, name):
    with open(path, "rb") as f:
        f.seek(0, 2)
        size = f.tell()
        f.seek(0)
        start = time.perf_counter()
        conn.putrequest("POST", "/files?parentId=root", skip_host=True)
        for header, value in headers.items():
            conn.putheader(header, value)
        conn.putheader("Content-Type", "application/octet-stream")
        conn.putheader("Filename", name)
        conn.putheader("Content-Length", str(size))
        conn.endheaders()
        while True:
            chunk = f.read(CHUNK)
            if not chunk:
                break
            conn.send(chunk)
        answer = conn.getresponse()
        body = answer.read()
    seconds = time.perf_counter() - start
    envelope = json.loads(body)
    if not envelope["header"]["isSuccessful"]:
        sys.exit("upload refused: %r" % envelope["header"])
    print("upload %.1f MB/s" % (size / 1e6 / seconds))
    print("uploaded-id %s" % envelope["result"]["content"]["id"])


def download(conn, headers, file_id, path):
    start = time.perf_counter()
    conn.request("GET", "/files/%s?media=raw" % file_id, headers=headers)
    answer = conn.getresponse()
    received = 0
    with open(path, "wb") as out:
        while True:
            chunk = answer.read(CHUNK)
            if not chunk:
                break
            out.write(chunk)
            received += len(chunk)
    print("download %.1f MB/s" % (received / 1e6 / (time.perf_counter() - start)))


def main():
    mode, port, session, domain = sys.argv[1:5]
    conn, headers = connect(port, session, domain)
    {"metadata": metadata, "upload": upload, "download": download}[mode](conn, headers, *sys.argv[5:])


if __name__ == "__main__":
    main()
