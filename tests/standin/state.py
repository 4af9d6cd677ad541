"""Everything the server remembers: tenants, accounts and their sessions,
each account's drive, upload sessions, injected faults and request log.

Tests share one server and run in parallel, each with its own account, so
all per-test state hangs off the account. One re-entrant lock guards the
whole store; long file work (spooling, joining parts, generating content)
happens outside it."""

import itertools
import os
import secrets
import threading

from release import Release
from tree import Drive

DEFAULT_PART_SIZE = 1 << 30


class Tenant:
    def __init__(self, tenant_id, name, display_name):
        self.id = tenant_id
        self.name = name
        self.display_name = display_name


class UploadSession:
    def __init__(self, session_id, kind, name, size, parts, parent_id=None, file_id=None,
                 latest_revision=None):
        self.id = session_id
        self.kind = kind                  # "upload" (new file) or "update" (new revision)
        self.name = name
        self.size = size
        self.parts = {p["number"]: p for p in parts}
        self.part_list = parts            # as answered, in order
        self.parent_id = parent_id
        self.file_id = file_id
        self.latest_revision = latest_revision
        self.received = {}                # part number -> Blob

    def discard(self):
        for blob in self.received.values():
            blob.discard()
        self.received.clear()


class Account:
    def __init__(self, tenant, tenant_domain, user_code, name, drive):
        self.tenant = tenant
        self.tenant_domain = tenant_domain
        self.user_code = user_code
        self.name = name
        self.drive = drive
        self.part_size = DEFAULT_PART_SIZE
        self.upload_sessions = {}
        self.faults = []
        self.log = []


class Store:
    def __init__(self, data_dir, domain):
        self.lock = threading.RLock()
        self.domain = domain
        self.blob_dir = os.path.join(data_dir, "blobs")
        self.spool_dir = os.path.join(data_dir, "spool")
        os.makedirs(self.blob_dir, exist_ok=True)
        os.makedirs(self.spool_dir, exist_ok=True)
        self.tenants = {}
        self.sessions = {}
        self.anonymous_log = []
        self.anonymous_faults = {}        # host -> [Fault]
        self.release = Release()          # what the update host serves
        self._item_ids = itertools.count(1001)
        self._drive_ids = itertools.count(501)
        self._tenant_ids = itertools.count(7001)
        self._seq = itertools.count(1)

    def new_item_id(self):
        return next(self._item_ids)

    def tenant_domain(self, tenant_name):
        return "%s.%s" % (tenant_name, self.domain)

    def tenant_by_domain(self, text):
        suffix = "." + self.domain
        text = text.lower()
        if not text.endswith(suffix):
            return None
        return self.tenants.get(text[:-len(suffix)])

    def create_account(self, tenant_name, user_code, name, session=None, tenant_display=None):
        with self.lock:
            if session is None:
                session = secrets.token_hex(16)
            elif session in self.sessions:
                raise ValueError("session already in use")
            tenant_name = tenant_name.lower()
            tenant = self.tenants.get(tenant_name)
            if tenant is None:
                tenant = Tenant(str(next(self._tenant_ids)), tenant_name,
                                tenant_display or tenant_name)
                self.tenants[tenant_name] = tenant
            drive = Drive(next(self._drive_ids), name, self.blob_dir, self.new_item_id)
            account = Account(tenant, self.tenant_domain(tenant_name), user_code, name, drive)
            self.sessions[session] = account
            return session, account

    def account(self, session):
        if not session:
            return None
        with self.lock:
            return self.sessions.get(session)

    def new_upload_session(self, account, kind, **fields):
        with self.lock:
            sid = "%s-%s" % (kind, secrets.token_hex(8))
            session = UploadSession(sid, kind, **fields)
            account.upload_sessions[sid] = session
            return session

    def record(self, account, entry):
        """Append a request-log entry; the account's or the anonymous log."""
        with self.lock:
            entry["seq"] = next(self._seq)
            (account.log if account is not None else self.anonymous_log).append(entry)
            return entry["seq"]

    def faults_for(self, account, host, create=False):
        """The live list of faults that applies to a request."""
        if account is not None:
            return account.faults
        if create:
            return self.anonymous_faults.setdefault(host, [])
        return self.anonymous_faults.get(host, [])
