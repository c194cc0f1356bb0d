"""The scripts' shared helpers checked on their own: the TOML writer's files read back by
tomllib as the values given (keys that are also the writer's own parameter names, strings
TOML must escape, bare date-times, arrays), and the way checks become an exit code (a
failure in one case ends only that case; a stopped script exits 1; a clean one exits with
what it returned).

usage: qvtest_check.py"""
import contextlib
import io
import os
import sys
import tomllib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import qvtest  # noqa: E402
from qvtest import Bare, case, check, fail, require, toml_document  # noqa: E402


def check_toml_writer():
    rows = [
        ("key named like the table", [("registry", dict(name="Directory", key="K"))], {},
         {"registry": [{"name": "Directory", "key": "K"}]}),
        ("escapes", [("file", dict(path="C:\\Q\\\"x\"", content="a\tb\nc"))], {},
         {"file": [{"path": "C:\\Q\\\"x\"", "content": "a\tb\nc"}]}),
        ("top-level keys first", [("action", dict(press=1))],
         dict(press_ok=False, running_windows=["QVMain"]),
         {"press_ok": False, "running_windows": ["QVMain"], "action": [{"press": 1}]}),
        ("a bare date-time", [("item", dict(date=Bare("2001-10-11T17:42:12")))], {},
         {"item": [{"date": tomllib.loads("d = 2001-10-11T17:42:12")["d"]}]}),
        ("tables in order", [("drive", dict(letter="A")), ("drive", dict(letter="C"))], {},
         {"drive": [{"letter": "A"}, {"letter": "C"}]}),
    ]
    for name, tables, keys, wanted in rows:
        with case(f"toml_document, {name}", catch=(TypeError, tomllib.TOMLDecodeError)):
            text = toml_document(tables, **keys)
            check(tomllib.loads(text) == wanted, f"reads back as {tomllib.loads(text)}:\n{text}")


def outcome(body):
    """What qvtest.main makes of `body`: its exit code and the failures it printed."""
    saved = list(qvtest.FAILURES)
    qvtest.FAILURES.clear()
    try:
        with contextlib.redirect_stdout(io.StringIO()):
            code = qvtest.main(body)
        return code, list(qvtest.FAILURES)
    finally:
        qvtest.FAILURES[:] = saved


def stops_in_a_case():
    with case("one") as first:
        require(False, "stopped")
        fail("not reached")
    with case("two"):
        check(True, "fine")
    check(not first.passed, "the first case did not pass")


def check_exit_codes():
    rows = [
        ("clean", lambda: None, 0, []),
        ("skipped", lambda: qvtest.SKIPPED, qvtest.SKIPPED, []),
        ("a failure, then on", lambda: (check(False, "x"), check(True, "y")) and None, 1, ["x"]),
        ("stopped", lambda: qvtest.stop("out"), 1, ["out"]),
        ("a tool's exit", lambda: qvtest.run(["false"]) and None, 1, ["false exited 1:\n"]),
        ("a stop ends its case only", stops_in_a_case, 1, ["one: stopped"]),
    ]
    for name, body, code, failures in rows:
        got = outcome(body)
        check(got == (code, failures), f"main, {name}: {got}, wanted {(code, failures)}")


def main():
    check_toml_writer()
    check_exit_codes()


if __name__ == "__main__":
    sys.exit(qvtest.main(main))
