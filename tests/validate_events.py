#!/usr/bin/env python3
"""Checks dm730 --json output: every line ASCII, JSON, and valid against the schema; the first
names the schema, the last is the result. Usage: validate_events.py SCHEMA FILE... (exit 0: all
valid; otherwise each problem on stderr)."""
import json
import sys

import jsonschema


def main():
    schema = json.load(open(sys.argv[1], encoding="utf-8"))
    jsonschema.Draft202012Validator.check_schema(schema)
    validator = jsonschema.Draft202012Validator(schema)
    problems = 0
    for path in sys.argv[2:]:
        raw = open(path, "rb").read()
        lines = raw.decode("ascii", errors="replace").splitlines()
        if not lines:
            print(f"{path}: no events", file=sys.stderr)
            problems += 1
            continue
        for number, line in enumerate(lines, 1):
            where = f"{path}:{number}"
            if not line.isascii() or "\ufffd" in line:
                print(f"{where}: not ASCII", file=sys.stderr)
                problems += 1
                continue
            try:
                event = json.loads(line)
            except ValueError as error:
                print(f"{where}: not JSON: {error}", file=sys.stderr)
                problems += 1
                continue
            for error in validator.iter_errors(event):
                print(f"{where}: {error.message}", file=sys.stderr)
                problems += 1
            if number == 1 and event.get("schema") != "dm730-events":
                print(f"{where}: the first line does not name the schema", file=sys.stderr)
                problems += 1
            if number == len(lines) and event.get("event") != "result":
                print(f"{where}: the last line is no result", file=sys.stderr)
                problems += 1
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
