#!/usr/bin/env python3
"""Keeps the README honest: every script it tells the user to run exists and
runs as printed, and every repository path it names exists.

    python3 tests/docs/readme_check.py README BUILD_DIR

Commands are the lines of the shell code blocks, and the inline code spans
with arguments or naming a script, that start with `bash `, `./`, `bench/`
or `scripts/`: a script run through bash must exist, one run by its path
must also be executable. Paths are the
code spans, link targets and command words that look like repository paths
(first folder one of the repository's own). Paths under `build/plain/` are
checked in BUILD_DIR (the same layout) where their folder was built there;
other build paths, globs and placeholders are left alone.
"""

import os
import re
import shlex
import sys

SHELL_BLOCKS = {"", "sh", "bash", "shell", "console"}
COMMAND_STARTS = ("bash ", "./", "bench/", "scripts/")
PLAIN_BUILD = "build/plain/"


def code_blocks(text):
    """(info string, lines) of every fenced block."""
    blocks, info, lines = [], None, []
    for line in text.splitlines():
        fence = re.match(r"^\s*```(.*)$", line)
        if fence and info is None:
            info, lines = fence.group(1).strip().lower(), []
        elif fence:
            blocks.append((info, lines))
            info = None
        elif info is not None:
            lines.append(line)
    return blocks


def prose(text):
    """The text outside fenced blocks."""
    return re.sub(r"^\s*```.*?^\s*```[^\n]*$", "", text, flags=re.M | re.S)


def commands(text):
    found = []
    for info, lines in code_blocks(text):
        if info not in SHELL_BLOCKS:
            continue
        for line in lines:
            line = re.sub(r"^\$ ", "", line.strip())
            found.append(line)
    # Inline, a bare folder or file is only named, unless it is a script.
    for span in re.findall(r"`([^`\n]+)`", prose(text)):
        if " " in span.strip() or span.endswith((".sh", ".py")) or span.startswith("./"):
            found.append(span)
    return [c.strip() for c in found if c.strip().startswith(COMMAND_STARTS)]


def words(command):
    try:
        return shlex.split(command, comments=True)
    except ValueError:
        return command.split()


def looks_like_repository_path(word, top_folders):
    if any(mark in word for mark in "*<>[]$ "):
        return False
    first = word.removeprefix("./").split("/", 1)[0]
    return "/" in word and (first in top_folders or first == "build")


class Check:
    def __init__(self, root, build_dir):
        self.root, self.build_dir, self.faults = root, build_dir, []
        self.top_folders = {
            e.name for e in os.scandir(root) if e.is_dir() and e.name not in ("build", ".git")
        }

    def fault(self, what):
        self.faults.append(what)

    def path(self, word, why):
        """Checks one repository path; returns its file name, or None when skipped."""
        relative = word.removeprefix("./").rstrip("/")
        if relative.startswith("build/"):
            if not relative.startswith(PLAIN_BUILD) or not self.build_dir:
                return None
            inside = relative[len(PLAIN_BUILD):]
            folder = os.path.dirname(inside)
            # Only what this build tree has built: another configuration may
            # leave out the benches or the window.
            if not os.path.isdir(os.path.join(self.build_dir, folder)):
                return None
            where = os.path.join(self.build_dir, inside)
        else:
            where = os.path.join(self.root, relative)
        if not os.path.exists(where):
            self.fault(f"{why}: {word} does not exist ({where})")
            return None
        return where

    def command(self, command):
        argv = words(command)
        if not argv:
            return
        if argv[0] == "bash":
            if len(argv) < 2 or argv[1].startswith("-"):
                self.fault(f"`{command}`: bash without a script")
                return
            self.path(argv[1], f"`{command}`")
        else:
            where = self.path(argv[0], f"`{command}`")
            if where and not (os.path.isfile(where) and os.access(where, os.X_OK)):
                self.fault(f"`{command}`: {argv[0]} is not an executable file; "
                           "set its executable bit or show it with bash")
        for word in argv[1:]:
            if looks_like_repository_path(word, self.top_folders):
                self.path(word, f"`{command}`")

    def named_paths(self, text):
        spans = re.findall(r"`([^`\n]+)`", prose(text))
        targets = re.findall(r"\]\(([^)\s]+)\)", text)
        for span in spans + [t for t in targets if "://" not in t and not t.startswith("#")]:
            if looks_like_repository_path(span, self.top_folders):
                self.path(span, "named")


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    readme, build_dir = sys.argv[1], sys.argv[2]
    with open(readme, encoding="utf-8") as f:
        text = f.read()
    check = Check(os.path.dirname(os.path.abspath(readme)), build_dir)
    found = commands(text)
    if not found:
        check.fault("no command found: the extraction no longer matches the README")
    for command in found:
        check.command(command)
    check.named_paths(text)
    for fault in check.faults:
        print(f"README: {fault}", file=sys.stderr)
    print(f"README: {len(found)} commands checked, {len(check.faults)} faults")
    return 1 if check.faults else 0


if __name__ == "__main__":
    sys.exit(main())
