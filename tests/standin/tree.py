"""One drive: its items, the drive-wide revision counter and the change feed.

Not thread-safe by itself; the store's lock guards every call."""

import contextlib
import os
import re

from protocol import ApiError, BAD_REQUEST, NAME_EXISTS, NOT_FOUND, REVISION_CONFLICT

ROOT = 0
_DIGITS = re.compile(r"[0-9]+")


def parse_id(text, allow_root=False):
    """Item id from its wire text; "root" stands for the top folder."""
    if allow_root and text == "root":
        return ROOT
    if not isinstance(text, str) or not _DIGITS.fullmatch(text):
        raise ApiError(BAD_REQUEST, "bad item id: %r" % (text,))
    return int(text)


def check_name(name):
    if not isinstance(name, str) or not name:
        raise ApiError(BAD_REQUEST, "name must be a non-empty text")
    if "/" in name or "\0" in name or name in (".", ".."):
        raise ApiError(BAD_REQUEST, "name not allowed: %r" % name)
    return name


def _same_name(a, b, case_sensitive=False):
    return a == b if case_sensitive else a.casefold() == b.casefold()


class Item:
    def __init__(self, item_id, name, parent_id, kind):
        self.id = item_id
        self.name = name
        self.parent_id = parent_id
        self.type = kind
        self.revision = 0
        self.version = 1
        self.size = 0
        self.sha256 = None
        self.blob_path = None
        self.trashed = False

    @property
    def is_folder(self):
        return self.type == "folder"


class Drive:
    def __init__(self, drive_id, name, blob_dir, new_item_id):
        self.id = drive_id
        self.name = name
        self.latest_revision = 0
        self.items = {}
        self.children = {ROOT: {}}   # folder id -> {child id: Item}, trashed ones too
        self._blob_dir = blob_dir
        self._new_item_id = new_item_id
        self._batch = None
        # Some implementations of the service tell names apart by letter
        # case: a folder may then hold two items whose names differ only so.
        self.case_sensitive_names = False

    # --- revisions -------------------------------------------------------

    @contextlib.contextmanager
    def batch(self):
        """Every change made inside shares one revision (bulk set-up)."""
        self._batch = []
        try:
            yield
        finally:
            self._batch = None

    def _next_revision(self):
        if self._batch:
            return self._batch[0]
        self.latest_revision += 1
        if self._batch is not None:
            self._batch.append(self.latest_revision)
        return self.latest_revision

    # --- views -----------------------------------------------------------

    def path_of(self, item):
        names = []
        while item is not None:
            names.append(item.name)
            item = self.items.get(item.parent_id)
        return "/" + "/".join(reversed(names))

    def file_object(self, item):
        obj = {"id": str(item.id), "name": item.name, "path": self.path_of(item),
               "revision": str(item.revision), "type": item.type, "version": item.version}
        if not item.is_folder:
            obj["hash"] = item.sha256
        return obj

    def change_object(self, item):
        return {"changeType": "deleted" if item.trashed else "updated",
                "revision": str(item.revision), "file": self.file_object(item)}

    def drive_object(self, tenant_id):
        return {"id": str(self.id), "tenantId": tenant_id, "projectId": None, "name": self.name,
                "type": "private", "latestRevision": str(self.latest_revision)}

    # --- lookups ---------------------------------------------------------

    def item(self, item_id, allow_trashed=False):
        item = self.items.get(item_id)
        if item is None or (item.trashed and not allow_trashed):
            raise ApiError(NOT_FOUND, "item %d not found" % item_id)
        return item

    def folder_id(self, folder_id):
        """The id itself when it names a live folder (or the root)."""
        if folder_id != ROOT and not self.item(folder_id).is_folder:
            raise ApiError(NOT_FOUND, "item %d is not a folder" % folder_id)
        return folder_id

    def live_children(self, folder_id):
        return [c for c in self.children.get(folder_id, {}).values() if not c.trashed]

    def find_child(self, folder_id, name):
        for child in self.live_children(folder_id):
            if _same_name(child.name, name, self.case_sensitive_names):
                return child
        return None

    def lookup(self, path):
        """Live item at a slash path; None for "/" and for a missing path."""
        item = None
        for name in [p for p in path.split("/") if p]:
            # A file has no children entry, so a path through a file ends here.
            item = self.find_child(ROOT if item is None else item.id, name)
            if item is None:
                return None
        return item

    def _check_free(self, folder_id, name, other_than=None):
        clash = self.find_child(folder_id, name)
        if clash is not None and clash.id != other_than:
            raise ApiError(NAME_EXISTS, "name already exists: %s" % self.path_of(clash))

    # --- changes ---------------------------------------------------------

    def _add(self, parent_id, name, kind):
        item = Item(self._new_item_id(), name, parent_id, kind)
        item.revision = self._next_revision()
        self.items[item.id] = item
        self.children[parent_id][item.id] = item
        if item.is_folder:
            self.children[item.id] = {}
        return item

    def _store_blob(self, item, blob):
        target = os.path.join(self._blob_dir, "%d-%d" % (item.id, item.version))
        os.replace(blob.path, target)
        blob.path = None
        old = item.blob_path
        item.blob_path, item.size, item.sha256 = target, blob.size, blob.sha256
        if old is not None and old != target:
            os.remove(old)

    def create_folder(self, parent_id, name):
        self.folder_id(parent_id)
        self._check_free(parent_id, check_name(name))
        return self._add(parent_id, name, "folder")

    def check_create(self, parent_id, name):
        self.folder_id(parent_id)
        self._check_free(parent_id, check_name(name))

    def create_file(self, parent_id, name, blob):
        self.check_create(parent_id, name)
        item = self._add(parent_id, name, "file")
        self._store_blob(item, blob)
        return item

    def check_update(self, item_id, expected_revision):
        item = self.item(item_id)
        if item.is_folder:
            raise ApiError(NOT_FOUND, "item %d is a folder" % item_id)
        if expected_revision is not None and expected_revision != item.revision:
            raise ApiError(REVISION_CONFLICT, "item %d is at revision %d, not %d"
                           % (item_id, item.revision, expected_revision))
        return item

    def update_file(self, item_id, blob, expected_revision=None):
        item = self.check_update(item_id, expected_revision)
        item.version += 1
        item.revision = self._next_revision()
        self._store_blob(item, blob)
        return item

    def rename(self, item_id, name):
        item = self.item(item_id)
        self._check_free(item.parent_id, check_name(name), other_than=item.id)
        if name != item.name:
            item.name = name
            item.revision = self._next_revision()
        return item

    def move(self, item_id, parent_id, name=None):
        item = self.item(item_id)
        name = item.name if name is None else check_name(name)
        self.folder_id(parent_id)
        ancestor = parent_id
        while ancestor != ROOT:
            if ancestor == item.id:
                raise ApiError(BAD_REQUEST, "cannot move a folder into itself")
            ancestor = self.items[ancestor].parent_id
        self._check_free(parent_id, name, other_than=item.id)
        del self.children[item.parent_id][item.id]
        item.parent_id, item.name = parent_id, name
        self.children[parent_id][item.id] = item
        item.revision = self._next_revision()
        return item

    def trash(self, item_id):
        """Trash an item; a folder takes its live subtree along, parent
        first, each item with its own revision."""
        item = self.item(item_id)
        pending = [item]
        while pending:
            current = pending.pop(0)
            current.trashed = True
            current.revision = self._next_revision()
            if current.is_folder:
                pending.extend(sorted(self.live_children(current.id), key=lambda c: c.id))
        return item

    def changes(self, revision, file_id, size):
        """Latest state of each item after the position (revision, file_id)
        in (revision, id) order; file id 0 means "after the whole revision"."""
        if file_id == 0:
            selected = [i for i in self.items.values() if i.revision > revision]
        else:
            selected = [i for i in self.items.values() if (i.revision, i.id) > (revision, file_id)]
        selected.sort(key=lambda i: (i.revision, i.id))
        return selected[:size]
