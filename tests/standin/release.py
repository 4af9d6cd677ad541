"""The update host: the update manifest at /release/drive/win and the
cabinets it links to, under /release/drive/files/<name>. Tests set both
through the control interface; one release is served at a time, so tests
that change it take turns. A foreign host (outside the service, as an
attacker's copy would be) serves the same release."""

import os
import re
import threading

from protocol import ApiError, BAD_REQUEST, NOT_FOUND, Response

MANIFEST_PATH = "/release/drive/win"
FILES_PREFIX = "/release/drive/files/"
_NAME = re.compile(r"[A-Za-z0-9._-]+")


class Release:
    def __init__(self):
        self.lock = threading.Lock()
        self.manifest = None     # bytes as set, or None: 404
        self.files = {}          # name -> ("path", unix path) or ("bytes", data)

    def set_manifest(self, text, pad_to=0):
        """`pad_to` fills the text with blanks up to that many bytes: still
        the same JSON, only longer."""
        data = text.encode("utf-8")
        if pad_to > len(data):
            data += b" " * (pad_to - len(data))
        with self.lock:
            self.manifest = data

    def add_file(self, name, path=None, data=None):
        if not isinstance(name, str) or not _NAME.fullmatch(name) or name in (".", ".."):
            raise ValueError("name must be a plain file name: %r" % (name,))
        if (path is None) == (data is None):
            raise ValueError("give path or content, not both")
        if path is not None and not os.path.isfile(path):
            raise ValueError("no file at %s" % path)
        with self.lock:
            self.files[name] = ("path", path) if path is not None else ("bytes", data)

    def clear(self):
        with self.lock:
            self.manifest = None
            self.files.clear()

    def handle(self, req):
        if req.method != "GET":
            raise ApiError(BAD_REQUEST, "the update host only serves GET", 404)
        with self.lock:
            if req.path == MANIFEST_PATH:
                if self.manifest is None:
                    raise ApiError(NOT_FOUND, "no release", 404)
                return Response(200, self.manifest)
            name = req.path[len(FILES_PREFIX):] if req.path.startswith(FILES_PREFIX) else None
            entry = self.files.get(name) if name else None
        if entry is None:
            raise ApiError(NOT_FOUND, "no such file: %s" % req.path, 404)
        kind, value = entry
        if kind == "bytes":
            return Response(200, value, "application/vnd.ms-cab-compressed")
        try:
            handle = open(value, "rb")
        except OSError:
            raise ApiError(NOT_FOUND, "file gone: %s" % value, 404) from None
        response = Response.stream(handle, os.fstat(handle.fileno()).st_size)
        response.content_type = "application/vnd.ms-cab-compressed"
        return response
