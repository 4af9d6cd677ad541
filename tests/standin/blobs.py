"""File contents on disk: request bodies as they arrive, generated test
content, and parts joined into one file.

Uploads can be larger than 2 GiB, so nothing here holds more than one chunk
of a large body in memory, and every byte is hashed on its way to disk so
that no second pass over the data is needed."""

import hashlib
import os
import tempfile

CHUNK = 1 << 20
LOG_BODY_LIMIT = 4096

# Byte i of generated content is (i*7+13) & 0xff. The pattern repeats every
# 256 bytes and CHUNK is a multiple of 256, so one block serves every chunk.
_PATTERN = bytes((i * 7 + 13) & 0xFF for i in range(CHUNK))


def _new_file(spool_dir):
    fd, path = tempfile.mkstemp(dir=spool_dir, prefix="blob-")
    return os.fdopen(fd, "wb"), path


class Blob:
    """A finished file on disk, owned by whoever holds this object until
    the store moves it into place (which clears `path`)."""

    def __init__(self, path, size, sha256):
        self.path = path
        self.size = size
        self.sha256 = sha256

    def discard(self):
        if self.path is not None:
            try:
                os.remove(self.path)
            except FileNotFoundError:
                pass
            self.path = None


class Body:
    """A request body while and after it arrives. Small bodies stay in
    memory; one that outgrows `memory_limit` continues in a spool file."""

    def __init__(self, spool_dir, memory_limit=CHUNK):
        self.length = 0
        self.sha256 = None
        self._spool_dir = spool_dir
        self._limit = memory_limit
        self._sha = hashlib.sha256()
        self._head = bytearray()
        self._mem = bytearray()
        self._file = None
        self._path = None

    @property
    def in_memory(self):
        return self._path is None

    def write(self, data):
        self.length += len(data)
        self._sha.update(data)
        if len(self._head) <= LOG_BODY_LIMIT:
            self._head += data[:LOG_BODY_LIMIT + 1 - len(self._head)]
        if self._file is None and len(self._mem) + len(data) <= self._limit:
            self._mem += data
            return
        if self._file is None:
            self._file, self._path = _new_file(self._spool_dir)
            self._file.write(self._mem)
            self._mem = bytearray()
        self._file.write(data)

    def finish(self):
        self.sha256 = self._sha.hexdigest()
        if self._file is not None:
            self._file.close()
            self._file = None

    def data(self):
        return bytes(self._mem)

    def log_text(self):
        """The body as text for the request log, when short and UTF-8."""
        if self.length > LOG_BODY_LIMIT:
            return None
        try:
            return bytes(self._head).decode("utf-8")
        except UnicodeDecodeError:
            return None

    def to_blob(self):
        """Hand the content over as a Blob; the body no longer owns it."""
        if self._path is None:
            out, path = _new_file(self._spool_dir)
            with out:
                out.write(self._mem)
            self._mem = bytearray()
        else:
            path, self._path = self._path, None
        return Blob(path, self.length, self.sha256)

    def discard(self):
        if self._file is not None:
            self._file.close()
            self._file = None
        if self._path is not None:
            try:
                os.remove(self._path)
            except FileNotFoundError:
                pass
            self._path = None


def blob_from_bytes(spool_dir, data):
    out, path = _new_file(spool_dir)
    with out:
        out.write(data)
    return Blob(path, len(data), hashlib.sha256(data).hexdigest())


def generated_bytes(offset, length):
    """Generated content in memory (for tests that compare with it)."""
    return bytes((i * 7 + 13) & 0xFF for i in range(offset, offset + length))


def blob_generated(spool_dir, size):
    out, path = _new_file(spool_dir)
    sha = hashlib.sha256()
    view = memoryview(_PATTERN)
    with out:
        remaining = size
        while remaining:
            n = min(CHUNK, remaining)
            sha.update(view[:n])
            out.write(view[:n])
            remaining -= n
    return Blob(path, size, sha.hexdigest())


def assemble(spool_dir, pieces):
    """Join (offset, Blob) pieces into one Blob. In the usual case the
    pieces follow each other from offset 0 and are hashed while copied;
    otherwise each is written at its offset and the result hashed after."""
    pieces = sorted(pieces, key=lambda p: p[0])
    contiguous = True
    expected = 0
    for offset, blob in pieces:
        contiguous = contiguous and offset == expected
        expected = offset + blob.size
    out, path = _new_file(spool_dir)
    sha = hashlib.sha256()
    buf = bytearray(CHUNK)
    view = memoryview(buf)
    with out:
        for offset, blob in pieces:
            out.seek(offset)
            with open(blob.path, "rb", buffering=0) as src:
                while True:
                    n = src.readinto(buf)
                    if not n:
                        break
                    if contiguous:
                        sha.update(view[:n])
                    out.write(view[:n])
        size = out.seek(0, os.SEEK_END)
    if not contiguous:
        sha = hashlib.sha256()
        with open(path, "rb", buffering=0) as src:
            while True:
                n = src.readinto(buf)
                if not n:
                    break
                sha.update(view[:n])
    return Blob(path, size, sha.hexdigest())
