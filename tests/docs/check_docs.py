#!/usr/bin/env python3
"""Checks the documents against each other and against the program.

    check_docs.py SOURCE_DIR DEPLOYMENT_SHEET
    check_docs.py --self-test

- Every relative link in README.md, CONTRIBUTING.md and docs/*.md leads to a file or folder, and
  an anchor to a heading of the Markdown file it names (GitHub's rule: see anchor_of).
- Every switch of the help (en-US.rc, entries 317 and 322) appears in docs/command-line.md.
- docs/exit-codes.md lists exactly the exit codes of the deployment sheet's table: the decimal
  numbers in its headings and in the first column of its tables; "other" may appear.

Prints one line per problem and ends with 1 when there is any; --self-test checks the anchor rule.
"""

import pathlib
import re
import sys
import unicodedata
import urllib.parse

DOCUMENTS = ["README.md", "CONTRIBUTING.md"]
COMMAND_LINE_PAGE = "docs/command-line.md"
EXIT_CODES_PAGE = "docs/exit-codes.md"
HELP_SOURCE = "resources/strings/en-US.rc"
HELP_ENTRIES = ("317", "322")

FENCE = re.compile(r"^\s{0,3}(```|~~~)")
ATX_HEADING = re.compile(r"^\s{0,3}(#{1,6})(?:\s+(.*?))?\s*$")
SETEXT_UNDERLINE = re.compile(r"^\s{0,3}(=+|-+)\s*$")
CODE_SPAN = re.compile(r"(`+)(.+?)\1")
INLINE_LINK = re.compile(r"\]\(\s*(<[^>]*>|[^)\s]*)(?:\s+(?:\"[^\"]*\"|'[^']*'|\([^)]*\)))?\s*\)")
REFERENCE_DEFINITION = re.compile(r"^\s{0,3}\[[^\]]+\]:\s*(<[^>]*>|\S+)")
HTML_LINK = re.compile(r"<(?:a|img)\b[^>]*?\b(?:href|src)\s*=\s*\"([^\"]*)\"", re.IGNORECASE)
HTML_ANCHOR = re.compile(r"<a\b[^>]*?\b(?:name|id)\s*=\s*\"([^\"]*)\"", re.IGNORECASE)
SCHEME = re.compile(r"^[A-Za-z][A-Za-z0-9+.-]*:")
LINE_ANCHOR = re.compile(r"^L\d+(-L\d+)?$")
# A number standing alone: not part of 0x..., 8.2.0.5, 60-minute or a word.
STANDALONE_NUMBER = re.compile(r"(?<![\w.-])\d+(?![\w.-])")


def slug_of(heading):
    """GitHub's anchor text for one heading, before duplicates are numbered: the rendered text
    lower-cased, punctuation and symbols other than - and _ dropped, each space a hyphen."""
    text = re.sub(r"!?\[([^\]]*)\]\([^)]*\)", r"\1", heading)  # links and images: their text
    text = re.sub(r"<[^>]+>", "", text)  # inline HTML
    parts = []
    last = 0
    for code in CODE_SPAN.finditer(text):  # emphasis marks go; a code span keeps its _ and *
        parts.append(re.sub(r"(?<!\w)[*_]+|[*_]+(?!\w)", "", text[last : code.start()]))
        parts.append(code.group(2))
        last = code.end()
    parts.append(re.sub(r"(?<!\w)[*_]+|[*_]+(?!\w)", "", text[last:]))
    text = "".join(parts).strip().lower()
    return "".join(c for c in text if c.isalnum() or c in "-_ " or is_mark(c)).replace(" ", "-")


def is_mark(character):
    return unicodedata.category(character).startswith("M")


def anchors_of(headings):
    """The anchors of a file's headings in order: a repeated one gets -1, -2... as GitHub does."""
    taken = set()
    anchors = []
    for heading in headings:
        base = slug_of(heading)
        anchor = base
        count = 0
        while anchor in taken:
            count += 1
            anchor = f"{base}-{count}"
        taken.add(anchor)
        anchors.append(anchor)
    return anchors


def prose_lines(text):
    """(line number, line) of the lines outside fenced code blocks."""
    fenced = None
    for number, line in enumerate(text.splitlines(), 1):
        fence = FENCE.match(line)
        if fence:
            if fenced is None:
                fenced = fence.group(1)
            elif fence.group(1) == fenced:
                fenced = None
            continue
        if fenced is None:
            yield number, line


def headings_of(text):
    headings = []
    previous = None
    for _, line in prose_lines(text):
        atx = ATX_HEADING.match(line)
        if atx:
            headings.append(re.sub(r"\s+#+\s*$", "", atx.group(2) or ""))
            previous = None
            continue
        if previous and previous.strip() and SETEXT_UNDERLINE.match(line):
            if not (set(line.strip()) == {"-"} and re.match(r"^\s{0,3}[-*+]\s", previous)):
                headings.append(previous.strip())
                previous = None
                continue
        previous = line
    return headings


def file_anchors(path, cache):
    if path not in cache:
        text = path.read_text(encoding="utf-8")
        cache[path] = set(anchors_of(headings_of(text))) | set(HTML_ANCHOR.findall(text))
    return cache[path]


def links_of(text):
    """(line number, target) of every link outside code."""
    for number, line in prose_lines(text):
        line = CODE_SPAN.sub("", line)
        for match in INLINE_LINK.finditer(line):
            yield number, match.group(1)
        definition = REFERENCE_DEFINITION.match(line)
        if definition:
            yield number, definition.group(1)
        for target in HTML_LINK.findall(line):
            yield number, target


def check_links(root, document, problems, cache):
    text = document.read_text(encoding="utf-8")
    shown = document.relative_to(root).as_posix()
    for number, target in links_of(text):
        target = target.strip("<>")
        if not target or SCHEME.match(target) or target.startswith("//"):
            continue
        place, _, anchor = target.partition("#")
        place = urllib.parse.unquote(place)
        if not place:
            linked = document
        elif place.startswith("/"):
            linked = root / place.lstrip("/")
        else:
            linked = document.parent / place
        where = f"{shown}:{number}: link {target}"
        if not linked.exists():
            problems.append(f"{where}: no such file or folder")
            continue
        if not anchor:
            continue
        anchor = urllib.parse.unquote(anchor)
        if linked.is_file() and linked.suffix.lower() == ".md":
            if anchor not in file_anchors(linked, cache):
                problems.append(f"{where}: no heading gives #{anchor}")
        elif not (linked.is_file() and LINE_ANCHOR.match(anchor)):
            problems.append(f"{where}: #{anchor} can only name a heading of a .md file")


def help_switches(root):
    """The switches at the start of the help's lines, as en-US.rc has them: "/? or /h" gives
    both. None when the source cannot be read."""
    try:
        source = (root / HELP_SOURCE).read_text(encoding="utf-8")
    except OSError:
        return None
    switches = []
    for entry in HELP_ENTRIES:
        match = re.search(r'^\s*' + entry + r'\s+"(.*)"\s*$', source, re.MULTILINE)
        if not match:
            return None
        for line in match.group(1).split("\\n"):
            if line.startswith("/"):
                for token in line.split(" \u2014 ")[0].split():
                    if token.startswith("/") and token not in switches:
                        switches.append(token)
    return switches


def check_switches(root, problems):
    switches = help_switches(root)
    if not switches:
        problems.append(f"{HELP_SOURCE}: entries 317 and 322 not found; no switches to check")
        return
    page = root / COMMAND_LINE_PAGE
    if not page.is_file():
        return  # reported as missing
    text = page.read_text(encoding="utf-8")
    for switch in switches:
        if not re.search(r"(?<![\w/])" + re.escape(switch) + r"(?!\w)", text):
            problems.append(f"{COMMAND_LINE_PAGE}: the help's switch {switch} is not mentioned")


def sheet_exit_codes(sheet):
    """The codes of the sheet's "Exit codes" table, as text; None without that table."""
    lines = sheet.read_text(encoding="utf-8").splitlines()
    codes = []
    inside = in_table = False
    for index, line in enumerate(lines):
        underlined = index + 1 < len(lines) and re.match(r"^[-=]{3,}$", lines[index + 1])
        if line and not line[0].isspace() and underlined:
            if inside:
                break
            inside = line.strip() == "Exit codes"
            continue
        if not inside:
            continue
        first = line.split()[0] if line.split() else ""
        if first == "Code":
            in_table = True
        elif in_table and re.match(r"^ {1,4}\S", line) and first.isdigit():
            codes.append(first)
    return codes or None


def page_exit_codes(text):
    """The decimal numbers of a page's headings and of its tables' first column."""
    codes = set()
    headings = headings_of(text)
    for heading in headings:
        codes.update(STANDALONE_NUMBER.findall(CODE_SPAN.sub(r"\2", heading)))
    for _, line in prose_lines(text):
        if not line.lstrip().startswith("|"):
            continue
        cells = line.strip().strip("|").split("|")
        first = cells[0].strip()
        if re.match(r"^:?-+:?$", first):
            continue
        codes.update(STANDALONE_NUMBER.findall(CODE_SPAN.sub(r"\2", first)))
    return codes


def check_exit_codes(root, sheet, problems):
    if not sheet.is_file():
        problems.append(f"{sheet}: missing (the host build writes it beside corvath-sp.res)")
        return
    expected = sheet_exit_codes(sheet)
    if expected is None:
        problems.append(f"{sheet}: no table under its \"Exit codes\" heading")
        return
    page = root / EXIT_CODES_PAGE
    if not page.is_file():
        return  # reported as missing
    listed = page_exit_codes(page.read_text(encoding="utf-8"))
    for code in expected:
        if code not in listed:
            problems.append(f"{EXIT_CODES_PAGE}: exit code {code} is not listed")
    for code in sorted(listed - set(expected), key=int):
        problems.append(f"{EXIT_CODES_PAGE}: {code} is listed, but the program never ends with it")


def check(root, sheet):
    problems = []
    documents = []
    for name in DOCUMENTS:
        if (root / name).is_file():
            documents.append(root / name)
        else:
            problems.append(f"{name}: missing")
    docs = root / "docs"
    if docs.is_dir():
        documents.extend(sorted(docs.glob("*.md")))
    else:
        problems.append("docs/: missing")
    for page in (COMMAND_LINE_PAGE, EXIT_CODES_PAGE):
        if not (root / page).is_file():
            problems.append(f"{page}: missing")
    cache = {}
    for document in documents:
        check_links(root, document, problems, cache)
    check_switches(root, problems)
    check_exit_codes(root, sheet, problems)
    return problems


# Headings and the anchors GitHub gives them, in one file.
ANCHOR_CASES = [
    (["Exit codes"], ["exit-codes"]),
    (["Run as SYSTEM (session 0)"], ["run-as-system-session-0"]),
    (["What `/q` does"], ["what-q-does"]),
    (["1641 \u2192 3010: restarts"], ["1641--3010-restarts"]),
    (["`ERROR_INVALID_COMMAND_LINE` and _why_"], ["error_invalid_command_line-and-why"]),
    (["C++20, -Wall"], ["c20--wall"]),
    (["[Intune](deploy-intune.md) pilot"], ["intune-pilot"]),
    (["\u00dcber die Protokolle"], ["\u00fcber-die-protokolle"]),
    (["Logs", "Logs", "Logs"], ["logs", "logs-1", "logs-2"]),
    (["Logs", "Logs-1", "Logs"], ["logs", "logs-1", "logs-2"]),
]


def self_test():
    failures = []
    for headings, expected in ANCHOR_CASES:
        got = anchors_of(headings)
        if got != expected:
            failures.append(f"anchors of {headings}: {got}, expected {expected}")
    text = "Title\n=====\n\n```\n# not a heading\n```\n## Next ##\n- item\n---\n"
    if headings_of(text) != ["Title", "Next"]:
        failures.append(f"headings of a sample page: {headings_of(text)}")
    codes = page_exit_codes("## 1618: retry\n| Code | HRESULT |\n|---|---|\n| `0` | 0x0 |\n"
                            "| other | 0x8007xxxx |\n## The 60-minute limit of 8.2.0.5\n")
    if codes != {"1618", "0"}:
        failures.append(f"exit codes of a sample page: {sorted(codes)}")
    for failure in failures:
        print(failure)
    return 1 if failures else 0


def main(arguments):
    if arguments == ["--self-test"]:
        return self_test()
    if len(arguments) != 2:
        print("usage: check_docs.py SOURCE_DIR DEPLOYMENT_SHEET | --self-test")
        return 2
    problems = check(pathlib.Path(arguments[0]).resolve(), pathlib.Path(arguments[1]))
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
