"""The same transfers as RestBench, made by a plain http.client against the
same stand-in, so that the client's figures have something to stand beside."""

import http.client
import sys
import time

CHUNK = 1 << 20


def main():
    port, session, domain, file_id, count, upload, download = sys.argv[1:8]
    count = int(count)
    headers = {"Host": "drive-api.localhost", "SESSION": session, "Brelio-Tenant-Domain": domain}
    conn = http.client.HTTPConnection("127.0.0.1", int(port))

    start = time.perf_counter()
    for _ in range(count):
        conn.request("GET", "/files/%s?media=meta" % file_id, headers=headers)
        answer = conn.getresponse()
        answer.read()
        if answer.status != 200:
            sys.exit("metadata request failed: %d" % answer.status)
    print("metadata %.0f requests/s" % (count / (time.perf_counter() - start)))

    with open(upload, "rb") as f:
        f.seek(0, 2)
        size = f.tell()
        f.seek(0)
        start = time.perf_counter()
        conn.putrequest("POST", "/files?parentId=root", skip_host=True)
        for name, value in headers.items():
            conn.putheader(name, value)
        conn.putheader("Content-Type", "application/octet-stream")
        conn.putheader("Filename", "python-bench.bin")
        conn.putheader("Content-Length", str(size))
        conn.endheaders()
        while True:
            chunk = f.read(CHUNK)
            if not chunk:
                break
            conn.send(chunk)
        answer = conn.getresponse()
        body = answer.read()
    print("upload %.1f MB/s" % (size / 1e6 / (time.perf_counter() - start)))
    import json
    new_id = json.loads(body)["result"]["content"]["id"]

    start = time.perf_counter()
    conn.request("GET", "/files/%s?media=raw" % new_id, headers=headers)
    answer = conn.getresponse()
    received = 0
    with open(download, "wb") as out:
        while True:
            chunk = answer.read(CHUNK)
            if not chunk:
                break
            out.write(chunk)
            received += len(chunk)
    print("download %.1f MB/s" % (received / 1e6 / (time.perf_counter() - start)))


if __name__ == "__main__":
    main()
