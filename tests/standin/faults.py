"""Injected failures: which requests they hit and what they do instead of,
or on top of, the normal answer."""

import re

ACTIONS = ("status", "envelope", "delayMs", "truncate", "close", "parts", "redirect", "trickleMs",
           "unframed")
REDIRECT_STATUSES = (301, 302, 303, 307, 308)


def _int(spec, key, minimum=None):
    value = spec[key]
    if isinstance(value, bool) or not isinstance(value, int):
        raise ValueError("%s must be an integer" % key)
    if minimum is not None and value < minimum:
        raise ValueError("%s must be at least %d" % (key, minimum))
    return value


def _parse_parts(value):
    if not isinstance(value, list):
        raise ValueError("parts must be a list")
    parts = []
    for part in value:
        if not isinstance(part, dict):
            raise ValueError("each part must be an object")
        parts.append({"number": _int(part, "number", 1), "offset": _int(part, "offset", 0),
                      "length": _int(part, "length", 0)})
    return parts


class Fault:
    def __init__(self, spec):
        if not isinstance(spec, dict):
            raise ValueError("fault must be an object")
        method = spec.get("method")
        if method is not None and not isinstance(method, str):
            raise ValueError("method must be a text")
        self.method = method.upper() if method else None
        pattern = spec.get("path", "")
        if not isinstance(pattern, str):
            raise ValueError("path must be a regular expression text")
        try:
            self.pattern = re.compile(pattern)
        except re.error as exc:
            raise ValueError("bad path pattern: %s" % exc) from None
        self.times = _int(spec, "times", -1) if "times" in spec else 1
        if self.times == 0:
            raise ValueError("times must be -1 or at least 1")

        chosen = [a for a in ACTIONS if a in spec]
        if len(chosen) != 1:
            raise ValueError("give exactly one action of: %s" % ", ".join(ACTIONS))
        self.action = chosen[0]
        if self.action == "status":
            self.value = _int(spec, "status", 100)
            self.body = spec.get("body", "injected failure\n")
            if not isinstance(self.body, str):
                raise ValueError("body must be a text")
        elif self.action == "envelope":
            env = spec["envelope"]
            if not isinstance(env, dict) or "resultCode" not in env:
                raise ValueError("envelope needs a resultCode")
            self.value = _int(env, "resultCode")
            self.http_status = _int(env, "httpStatus", 100) if "httpStatus" in env else 200
            self.message = env.get("resultMessage", "injected failure")
            if not isinstance(self.message, str):
                raise ValueError("resultMessage must be a text")
        elif self.action in ("close", "unframed"):
            if spec[self.action] is not True:
                raise ValueError("%s must be true" % self.action)
            self.value = True
        elif self.action == "redirect":
            self.value = spec["redirect"]
            if not isinstance(self.value, str) or not self.value:
                raise ValueError("redirect must be the Location text")
            self.redirect_status = (_int(spec, "redirectStatus") if "redirectStatus" in spec
                                    else 302)
            if self.redirect_status not in REDIRECT_STATUSES:
                raise ValueError("redirectStatus must be one of %s" % (REDIRECT_STATUSES,))
        elif self.action == "parts":
            self.value = _parse_parts(spec["parts"])
        else:
            self.value = _int(spec, self.action, 0)

    def matches(self, method, path, query, creates_session):
        if self.method is not None and self.method != method:
            return False
        # A part list only makes sense where an upload session is created.
        if self.action == "parts" and not creates_session:
            return False
        target = path + "?" + query if query else path
        return self.pattern.search(target) is not None

    def describe(self):
        return {"action": self.action, "value": self.value}

    def public(self):
        out = {"method": self.method, "path": self.pattern.pattern, "times": self.times,
               "action": self.action, "value": self.value}
        return out


def take(faults, method, path, query, creates_session):
    """First fault in `faults` that matches; uses up one of its times."""
    for fault in faults:
        if fault.matches(method, path, query, creates_session):
            if fault.times > 0:
                fault.times -= 1
                if fault.times == 0:
                    faults.remove(fault)
            return fault
    return None
