"""The importer's one kind of failure."""


class BadInput(Exception):
    """A fault in the input or the options: one line, and no station folder written."""
