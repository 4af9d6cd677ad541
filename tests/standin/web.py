"""The service's web sign-in and sign-out pages on a tenant's host, as a
browser meets them: the sign-in page sends the browser on to the finalize
page, whose body text is a new session of that tenant and which leaves the
session in a cookie; the sign-out page sends the browser on to its own
finalize page, which ends the session named by that cookie.

Paths are matched without regard to case, as the service's web server
does."""

import html
import secrets
from http.cookies import SimpleCookie

from protocol import Response

SIGNIN = "/auth/mobile/drive/signin"
SIGNIN_FINALIZE = "/auth/signin/finalize"
SIGNOUT = "/auth/mobile/drive/signout"
SIGNOUT_FINALIZE = "/auth/mobile/drive/signout/finalize"
COOKIE = "BrelioWebSession"


def page(status, title, text, headers=None):
    body = ("<html><head><title>%s</title></head><body>\n  %s\n</body></html>\n"
            % (html.escape(title), html.escape(text)))
    response = Response(status, body.encode("utf-8"), "text/html; charset=utf-8")
    response.headers = list(headers or [])
    return response


def redirect(location, headers=None):
    response = page(302, "Moved", "Moved to %s" % location, headers)
    response.headers.append(("Location", location))
    return response


class WebPages:
    def __init__(self, store):
        self.store = store
        self.tickets = {}         # one-time sign-in ticket -> tenant name
        self._users = 0

    def new_ticket(self, tenant_name):
        with self.store.lock:
            ticket = secrets.token_hex(12)
            self.tickets[ticket] = tenant_name.lower()
            return ticket

    def handle(self, req, tenant_name):
        """The answer for a web page of the tenant's host, or None when the
        path is no web page."""
        if req.method != "GET":
            return None
        path = req.path.lower()
        with self.store.lock:
            tenant = self.store.tenants.get(tenant_name)
        if path not in (SIGNIN, SIGNIN_FINALIZE, SIGNOUT, SIGNOUT_FINALIZE):
            return None
        if tenant is None:
            return page(404, "Not found", "There is no organisation %s." % tenant_name)
        if path == SIGNIN:
            return redirect("%s?ticket=%s" % (SIGNIN_FINALIZE, self.new_ticket(tenant_name)))
        if path == SIGNIN_FINALIZE:
            return self._finalize_signin(req, tenant_name)
        if path == SIGNOUT:
            return redirect(SIGNOUT_FINALIZE)
        return self._finalize_signout(req, tenant_name)

    def _finalize_signin(self, req, tenant_name):
        ticket = req.params.get("ticket", "")
        with self.store.lock:
            if self.tickets.pop(ticket, None) != tenant_name:
                return page(400, "Sign-in failed", "This sign-in has expired. Please sign in again.")
            self._users += 1
            user = "web%d" % self._users
            session, _ = self.store.create_account(tenant_name, "%s@%s" % (user, tenant_name), user)
        cookie = ("Set-Cookie", "%s=%s; Path=/; HttpOnly" % (COOKIE, session))
        return page(200, "Signed in", session, [cookie])

    def _finalize_signout(self, req, tenant_name):
        cookie = SimpleCookie()
        try:
            cookie.load(req.header("Cookie") or "")
        except Exception:
            cookie = SimpleCookie()
        session = cookie[COOKIE].value if COOKIE in cookie else None
        with self.store.lock:
            account = self.store.sessions.get(session) if session else None
            if account is not None and account.tenant.name == tenant_name:
                del self.store.sessions[session]
        expired = ("Set-Cookie", "%s=; Path=/; Max-Age=0" % COOKIE)
        return page(200, "Signed out", "You have signed out.", [expired])
