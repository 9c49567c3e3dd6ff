"""The exceptions and warnings of kinex."""


class InputError(ValueError):
    """An input file or table that cannot be read.

    ``str(error)`` is the diagnostic of KINEX.exe and kinex (the file, the
    line, the reason, and the line itself with a caret under the place).
    The parts are attributes:

    file   -- the file as named
    line   -- the 1-based line, or None where no line applies
    column -- the 1-based column of the caret, or None
    reason -- the reason alone, as the diagnostic words it
    """

    def __init__(self, message, file="", line=None, column=None, reason=""):
        super().__init__(message)
        self.file = file
        self.line = line if line else None
        self.column = column if column else None
        self.reason = reason

    def __reduce__(self):
        return (type(self), (str(self), self.file, self.line, self.column, self.reason))


class InputWarning(UserWarning):
    """A file that reads, but perhaps not as meant (a value left over on a
    line, numbers after DeltaG, a temperature in degrees Celsius), or a row
    of a table skipped with ``errors='warn'``."""
