"""A plain client that moves a whole tree the way a first full sync does,
one request at a time over one kept-alive connection, so that the engine's
figures have something to stand beside.

  python_sync_client.py down PORT SESSION DOMAIN FOLDER   drive -> empty folder
  python_sync_client.py up   PORT SESSION DOMAIN FOLDER   folder -> empty drive

Prints "files N", "folders N", "seconds S" and "files/s R"."""

import http.client
import json
import os
import sys
import time
import urllib.parse


class Drive:
    def __init__(self, port, session, domain):
        self.conn = http.client.HTTPConnection("127.0.0.1", int(port))
        self.headers = {"Host": "drive-api.localhost", "SESSION": session, "Brelio-Tenant-Domain": domain}

    def _answer(self):
        answer = self.conn.getresponse()
        body = answer.read()
        if answer.status != 200:
            sys.exit("HTTP %d: %r" % (answer.status, body[:200]))
        envelope = json.loads(body)
        if not envelope["header"]["isSuccessful"]:
            sys.exit("refused: %r" % envelope["header"])
        return envelope["result"]

    def get(self, path):
        self.conn.request("GET", path, headers=self.headers)
        return self._answer()

    def post(self, path, body, extra):
        self.conn.request("POST", path, body=body, headers=dict(self.headers, **extra))
        return self._answer()

    def children(self, parent):
        return self.get("/files?parentId=%s" % parent)["contents"]

    def download(self, file_id, target):
        self.conn.request("GET", "/files/%s?media=raw" % file_id, headers=self.headers)
        answer = self.conn.getresponse()
        with open(target, "wb") as out:
            while True:
                chunk = answer.read(1 << 20)
                if not chunk:
                    break
                out.write(chunk)
        if answer.status != 200:
            sys.exit("download of %s: HTTP %d" % (file_id, answer.status))

    def create_folder(self, parent, name):
        body = json.dumps({"name": name}).encode()
        return self.post("/files/%s/create-folder" % parent, body,
                         {"Content-Type": "application/json"})["content"]["id"]

    def upload(self, parent, name, source):
        with open(source, "rb") as f:
            data = f.read()
        extra = {"Content-Type": "application/octet-stream",
                 "Filename": urllib.parse.quote(name, safe="")}
        return self.post("/files?parentId=%s" % parent, data, extra)


def down(drive, folder):
    files = folders = 0
    pending = [("root", folder)]
    while pending:
        parent, local = pending.pop()
        for item in drive.children(parent):
            target = os.path.join(local, item["name"])
            if item["type"] == "folder":
                os.mkdir(target)
                folders += 1
                pending.append((item["id"], target))
            else:
                drive.download(item["id"], target)
                files += 1
    return files, folders


def up(drive, folder):
    files = folders = 0
    pending = [("root", folder)]
    while pending:
        parent, local = pending.pop()
        for entry in sorted(os.scandir(local), key=lambda e: e.name):
            if entry.is_dir():
                pending.append((drive.create_folder(parent, entry.name), entry.path))
                folders += 1
            else:
                drive.upload(parent, entry.name, entry.path)
                files += 1
    return files, folders


def main():
    mode, port, session, domain, folder = sys.argv[1:6]
    drive = Drive(port, session, domain)
    start = time.perf_counter()
    files, folders = (down if mode == "down" else up)(drive, folder)
    seconds = time.perf_counter() - start
    print("files %d" % files)
    print("folders %d" % folders)
    print("seconds %.2f s" % seconds)
    print("files/s %.1f files/s" % (files / seconds))


if __name__ == "__main__":
    main()
