"""Changing one source file of the work tree at a time, and always putting it back.

The original bytes are kept in memory and in a backup beside the mutants build tree, with the
file's times. A run that dies without restoring (SIGKILL, power cut) leaves the backup behind and
the next run puts it back before anything else.

A restored file gets its old modification time back, so the other build trees see nothing to
rebuild. The mutants tree has already compiled the mutant, though, and its object is newer than
the restored source: ninja would keep the mutant. So the object is deleted on every restore, and
the next build there compiles the original again (a compiler cache hit, usually).
"""

import json
import os
import signal
from contextlib import contextmanager

_BLOCKED = {signal.SIGINT, signal.SIGTERM, signal.SIGHUP}


@contextmanager
def signals_held():
    """Delays SIGINT, SIGTERM and SIGHUP until the block ends: a file is never half written."""
    previous = signal.pthread_sigmask(signal.SIG_BLOCK, _BLOCKED)
    try:
        yield
    finally:
        signal.pthread_sigmask(signal.SIG_SETMASK, previous)


class FileGuard:
    def __init__(self, root, state_dir, objects_of):
        """`objects_of(relative_path)` names the mutants tree's objects compiled from that file."""
        self._root = root
        self._record = state_dir / "backup.json"
        self._backup = state_dir / "backup.bin"
        self._objects_of = objects_of
        self._active = None

    def recover(self):
        """Puts back a file a killed run left mutated; returns its path, or None."""
        if not self._record.exists():
            self._backup.unlink(missing_ok=True)
            return None
        record = json.loads(self._record.read_text())
        with signals_held():
            self._put_back(record, self._backup.read_bytes())
        return record["file"]

    def apply(self, relative, mutated):
        """Writes `mutated` (bytes) over the file, after saving the original."""
        if self._active is not None:
            raise RuntimeError("a mutant is already applied")
        path = self._root / relative
        original = path.read_bytes()
        stat = path.stat()
        record = {"file": relative, "atime_ns": stat.st_atime_ns, "mtime_ns": stat.st_mtime_ns}
        with signals_held():
            _write_durably(self._backup, original)
            _write_durably(self._record, json.dumps(record).encode())
            self._active = (record, original)
            path.write_bytes(mutated)

    def restore(self):
        """Puts the original back; does nothing when no mutant is applied."""
        if self._active is None:
            return
        with signals_held():
            record, original = self._active
            self._put_back(record, original)
            self._active = None

    def _put_back(self, record, original):
        path = self._root / record["file"]
        if not path.exists() or path.read_bytes() != original:
            path.write_bytes(original)
        os.utime(path, ns=(record["atime_ns"], record["mtime_ns"]))
        for obj in self._objects_of(record["file"]):
            obj.unlink(missing_ok=True)
        self._record.unlink(missing_ok=True)
        self._backup.unlink(missing_ok=True)


def _write_durably(path, data):
    temporary = path.with_suffix(path.suffix + ".tmp")
    with open(temporary, "wb") as f:
        f.write(data)
        f.flush()
        os.fsync(f.fileno())
    os.replace(temporary, path)
