"""Test classes that share a private Wine prefix among their tests."""
import os
import unittest

import winebed


class PrivatePrefixCase(unittest.TestCase):
    """Before the tests: a fresh copy of the template prefix in
    build/e2e/PREFIX_NAME (`prefix`, with `root` its folder and `env` its
    environment), made ready by `prepare`. After them: its processes end."""

    PREFIX_NAME = None

    @classmethod
    def setUpClass(cls):
        cls.root = os.path.join(os.environ["VANTREL_BUILD"], "e2e", cls.PREFIX_NAME)
        cls.prefix = winebed.fresh(os.environ["VANTREL_WINE_TEMPLATE"], os.path.join(cls.root, "prefix"))
        cls.env = winebed.wine_env(cls.prefix)
        try:
            cls.prepare()
        except BaseException:
            winebed.stop(cls.prefix)
            raise

    @classmethod
    def tearDownClass(cls):
        winebed.stop(cls.prefix)

    @classmethod
    def prepare(cls):
        """Seeds the prefix and runs what the tests read (a class's own)."""
