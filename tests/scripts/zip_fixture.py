"""Runs the zip_folder fixture (the tool's ZipFolder) under Wine in a private
prefix, for the archive script tests and the benchmark."""
import os
import resource
import signal
import subprocess
import tempfile

import winebed


class ZipBed:
    """A private prefix with a wineserver that stays up, so that programs run
    under limits of their own never start (and limit) the server."""

    def __init__(self, name):
        scratch = os.path.join(os.environ["VANTREL_BUILD"], "scripttests")
        os.makedirs(scratch, exist_ok=True)
        self.root = tempfile.mkdtemp(prefix=name + "-", dir=scratch)
        self.prefix = os.path.join(self.root, "prefix")
        self.exe = os.path.join(os.environ["VANTREL_FIXTURE_DIR"], "zip_folder", "zip_folder.exe")
        winebed.fresh(os.environ["VANTREL_WINE_TEMPLATE"], self.prefix)
        self.env = winebed.wine_env(self.prefix)
        subprocess.run(["wineserver", "-p"], env=self.env, check=True)

    def path(self, *parts):
        """A folder or file inside this bed's scratch area (a Unix path)."""
        return os.path.join(self.root, *parts)

    def zip_folder(self, folder, archive, threads=None, file_size_limit=None):
        """Runs ZipFolder on the Unix folder `folder` into `archive`; returns
        (exit code, printed text). `file_size_limit` caps the bytes a file the
        program writes may reach, as on a nearly full volume."""
        args = ["wine", self.exe, winebed.windows_path(folder), winebed.windows_path(archive)]
        if threads is not None:
            args.append(str(threads))

        def limit():
            if file_size_limit is not None:
                # Wine does not catch the signal a too long write raises; ignored,
                # the write fails as on a full disk.
                signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
                resource.setrlimit(resource.RLIMIT_FSIZE, (file_size_limit, file_size_limit))

        r = subprocess.run(args, env=self.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                           preexec_fn=limit, restore_signals=False, timeout=3600)
        return r.returncode, r.stdout.decode("utf-8", "replace").strip()

    def close(self):
        winebed.stop(self.prefix)
        subprocess.run(["rm", "-rf", self.root], check=False)
