"""The exceptions of the module zrd."""


class Error(Exception):
    """An expected failure of the drive, the link or a file.

    str(e) says what failed; e.number is the program's numbered message shown for it (0 when
    none was) and e.message its text.
    """

    def __init__(self, text: str, number: int = 0, message: str = ""):
        super().__init__(text)
        self.text = text
        self.number = number
        self.message = message


class LinkError(Error):
    """The port does not open, the drive does not answer, or the link hung up."""


class RefusedError(Error):
    """The drive refused, or a value lies outside the parameter's limits."""


class DataError(Error):
    """A file that does not read, an unknown mnemonic, a value no parameter takes."""
