"""The checks of arguments that the package's functions and the extension
module's methods share (one rule, one place)."""

import os as _os


def path_text(path) -> str:
    """A path as text, whether given as str, bytes or os.PathLike (one rule
    for every path the package takes)."""
    path = _os.fspath(path)
    return path if isinstance(path, str) else _os.fsdecode(path)


def counts(samples, seed, threads):
    """samples, seed and threads as whole numbers, each checked."""
    checked = []
    for name, value, least in (("samples", samples, 1), ("seed", seed, 0), ("threads", threads, 0)):
        if isinstance(value, bool) or int(value) != value:
            raise TypeError(f"{name}: {value!r} is not a whole number")
        if int(value) < least:
            raise ValueError(f"{name}: {int(value)} is below {least}")
        checked.append(int(value))
    if checked[1] >= 2 ** 64:
        raise ValueError(f"seed: {checked[1]} is above 18446744073709551615")
    return checked


def whole(name, value, least, most):
    """`value` as a whole number from `least` to `most`, else TypeError or ValueError."""
    try:
        number = None if isinstance(value, (bool, str)) else int(value)
    except (TypeError, ValueError, OverflowError):
        number = None
    if number is None or number != value:
        raise TypeError(f"{name}: {value!r} is not a whole number")
    if not least <= number <= most:
        raise ValueError(f"{name}: {number} is not from {least} to {most}")
    return number


def errors_choice(errors):
    """`errors` as the table readers take it, 'raise' or 'warn'; ValueError otherwise."""
    if errors not in ("raise", "warn"):
        raise ValueError(f"errors: {errors!r} is neither 'raise' nor 'warn'")
    return errors


def kelvin(T) -> float:
    """`T` as a temperature in K, finite and above 0; ValueError otherwise."""
    T = float(T)
    if not (0.0 < T < float("inf")):
        raise ValueError(f"T: {T!r} is not a temperature in K (finite and above 0)")
    return T
