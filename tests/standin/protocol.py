"""Wire vocabulary shared by every handler: result codes, the answer
envelope, and the request/response records passed between the HTTP layer
and the API code."""

import json

# Result codes this server chooses. The client maps each of them to its own
# error code, so the numbers must stay exactly these.
OK = 0
BAD_REQUEST = -15100000
NOT_FOUND = -15100200
NAME_EXISTS = -15100202
REVISION_CONFLICT = -15300200
SESSION_INVALID = -15400201


class ApiError(Exception):
    """A refusal that travels back to the client as an error envelope."""

    def __init__(self, code, message, http_status=200):
        super().__init__(message)
        self.code = code
        self.message = message
        self.http_status = http_status


def success(result=None):
    return {"header": {"isSuccessful": True, "resultCode": OK, "resultMessage": "success"},
            "result": result}


def failure(code, message):
    return {"header": {"isSuccessful": False, "resultCode": code, "resultMessage": message},
            "result": None}


def content(obj):
    return success({"content": obj})


def contents(objs):
    return success({"contents": list(objs)})


class Request:
    """One request after its body has arrived."""

    def __init__(self, method, host, path, query, params, headers, body):
        self.method = method
        self.host = host          # lower case, without port
        self.path = path          # raw path, without query
        self.query = query        # raw query text
        self.params = params      # first value of each query key
        self.headers = headers    # email.message.Message from http.server
        self.body = body          # blobs.Body

    def header(self, name):
        value = self.headers.get(name)
        return None if value is None else value.strip()

    def json_body(self):
        """The body as a JSON object, or ApiError(BAD_REQUEST)."""
        if not self.body.in_memory:
            raise ApiError(BAD_REQUEST, "request body too large for JSON")
        try:
            value = json.loads(self.body.data().decode("utf-8"))
        except (UnicodeDecodeError, ValueError) as exc:
            raise ApiError(BAD_REQUEST, "malformed JSON body: %s" % exc) from None
        if not isinstance(value, dict):
            raise ApiError(BAD_REQUEST, "JSON body must be an object")
        return value


class Response:
    """An answer ready to be written: either bytes or an open file to stream."""

    def __init__(self, status=200, body=b"", content_type="application/json; charset=utf-8",
                 file=None, length=None):
        self.status = status
        self.body = body
        self.content_type = content_type
        self.file = file
        self.length = len(body) if file is None else length
        self.headers = []         # further (name, value) header lines

    @classmethod
    def json(cls, obj, status=200):
        return cls(status, json.dumps(obj, ensure_ascii=False).encode("utf-8"))

    @classmethod
    def error(cls, exc):
        return cls.json(failure(exc.code, exc.message), exc.http_status)

    @classmethod
    def text(cls, status, text):
        return cls(status, text.encode("utf-8"), "text/plain; charset=utf-8")

    @classmethod
    def stream(cls, fileobj, length):
        return cls(200, b"", "application/octet-stream", file=fileobj, length=length)

    def close(self):
        if self.file is not None:
            self.file.close()
            self.file = None
