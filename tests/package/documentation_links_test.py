#!/usr/bin/python3
"""The documentation's links: every relative Markdown link in README.md,
DEVELOPING.md, NEWS, bench/RESULTS.md and doc/*.md names a file or folder of
the repository that exists, and its #anchor a heading of that page (the
anchor GitHub makes of it); and README.md links every page of doc/.

Usage: documentation_links_test.py REPOSITORY_ROOT
       documentation_links_test.py --self-check
The second form runs the check on a made-up tree whose faults it must find.
"""
import os
import re
import sys
import tempfile
import urllib.parse

PAGES = ["README.md", "DEVELOPING.md", "NEWS", "bench/RESULTS.md"]

FENCE = re.compile(r"^\s{0,3}(```|~~~)")
CODE_SPAN = re.compile(r"(`+)(.+?)\1")
# [text](target "title") and ![alt](target); one level of brackets inside the text.
INLINE_LINK = re.compile(r"!?\[(?:[^\[\]]|\[[^\]]*\])*\]\(\s*<?([^)\s>]*)>?(?:\s+\"[^\"]*\")?\s*\)")
REFERENCE_DEFINITION = re.compile(r"^\s{0,3}\[[^\]]+\]:\s*<?([^\s>]+)>?")
ATX_HEADING = re.compile(r"^\s{0,3}(#{1,6})\s+(.*?)\s*#*\s*$")
SETEXT_UNDERLINE = re.compile(r"^\s{0,3}(=+|-+)\s*$")
HTML_ANCHOR = re.compile(r"<a\s+(?:name|id)=\"([^\"]+)\"")
SCHEME = re.compile(r"^[A-Za-z][A-Za-z0-9+.-]*:")


def prose_lines(text):
    """(line number, line) outside fenced code blocks, code spans blanked."""
    fenced = False
    for number, line in enumerate(text.splitlines(), 1):
        if FENCE.match(line):
            fenced = not fenced
            continue
        if not fenced:
            yield number, CODE_SPAN.sub(lambda m: " " * len(m.group(0)), line)


def slug(heading):
    """GitHub's anchor of a heading: its text, lowercased, without
    punctuation but hyphens and underscores, spaces made hyphens."""
    text = re.sub(r"!?\[([^\]]*)\]\([^)]*\)", r"\1", heading)
    text = re.sub(r"<[^>]+>", "", text)
    text = text.lower()
    text = "".join(c for c in text if c.isalnum() or c in " -_")
    return text.replace(" ", "-")


def anchors(text):
    """Every anchor a page's headings make, repeated ones numbered as GitHub does."""
    found = set()
    seen = {}

    def add(heading):
        base = slug(heading)
        count = seen.get(base, 0)
        seen[base] = count + 1
        found.add(base if count == 0 else "%s-%d" % (base, count))

    fenced = False
    previous = ""
    for line in text.splitlines():
        if FENCE.match(line):
            fenced = not fenced
            previous = ""
            continue
        if fenced:
            continue
        for name in HTML_ANCHOR.findall(line):
            found.add(name)
        heading = ATX_HEADING.match(line)
        if heading:
            add(heading.group(2))
            previous = ""
            continue
        if SETEXT_UNDERLINE.match(line) and previous.strip() and not previous.lstrip().startswith(("|", "-", "*", ">")):
            add(previous.strip())
            previous = ""
            continue
        previous = line
    return found


def links(text):
    """(line number, target) of every link on a page."""
    for number, line in prose_lines(text):
        for target in INLINE_LINK.findall(line):
            yield number, target
        definition = REFERENCE_DEFINITION.match(line)
        if definition:
            yield number, definition.group(1)


def pages_of(root):
    pages = [page for page in PAGES if os.path.isfile(os.path.join(root, page))]
    doc = os.path.join(root, "doc")
    if os.path.isdir(doc):
        pages += sorted("doc/" + name for name in os.listdir(doc) if name.endswith(".md"))
    return pages


def problems(root):
    """What is wrong with the links of the pages under root, one text each."""
    root = os.path.realpath(root)
    found = []
    anchor_cache = {}
    linked_from_readme = set()
    for page in pages_of(root):
        page_path = os.path.join(root, page)
        with open(page_path, encoding="utf-8") as file:
            text = file.read()
        for number, target in links(text):
            if not target or SCHEME.match(target) or target.startswith("//"):
                continue
            where = "%s:%d: link %s" % (page, number, target)
            path, _, anchor = target.partition("#")
            path = urllib.parse.unquote(path)
            if path.startswith("/"):
                found.append("%s: not relative" % where)
                continue
            resolved = os.path.realpath(os.path.join(os.path.dirname(page_path), path)) if path else page_path
            if resolved != root and not resolved.startswith(root + os.sep):
                found.append("%s: outside the repository" % where)
                continue
            if not os.path.exists(resolved):
                found.append("%s: no such file" % where)
                continue
            if page == "README.md":
                linked_from_readme.add(resolved)
            if not anchor:
                continue
            if not resolved.endswith(".md") or not os.path.isfile(resolved):
                found.append("%s: an anchor into a file that is not a Markdown page" % where)
                continue
            if resolved not in anchor_cache:
                with open(resolved, encoding="utf-8") as file:
                    anchor_cache[resolved] = anchors(file.read())
            if urllib.parse.unquote(anchor) not in anchor_cache[resolved]:
                found.append("%s: no heading makes the anchor #%s" % (where, anchor))
    for page in pages_of(root):
        if page.startswith("doc/") and os.path.join(root, page) not in linked_from_readme:
            found.append("%s: not linked from README.md" % page)
    return found


def self_check():
    """The check must find each kind of fault in a made-up tree, and nothing else."""
    with tempfile.TemporaryDirectory() as root:
        os.makedirs(os.path.join(root, "doc"))
        os.makedirs(os.path.join(root, "bench"))
        files = {
            "README.md": "# Top\n\n[a](doc/a.md), [a's part](doc/a.md#the-second-part), [missing](doc/missing.md),\n"
                         "[no anchor](doc/a.md#nowhere), [web](https://example.org/x.md), `[code](doc/nothing.md)`\n\n"
                         "```\n[fenced](doc/nothing.md)\n```\n",
            "doc/a.md": "# The `a` page\n\n## The second part\n\n[up](../README.md#top) [here](#the-a-page)\n"
                        "[out](../../elsewhere.md)\n",
            "doc/unlinked.md": "# Nobody links here\n",
            "DEVELOPING.md": "Notes\n=====\n\n[notes](#notes) [twice](bench/RESULTS.md#results-1)\n",
            "bench/RESULTS.md": "## Results\n\n## Results\n",
        }
        for name, text in files.items():
            with open(os.path.join(root, name), "w", encoding="utf-8") as file:
                file.write(text)
        expected = [
            "README.md:3: link doc/missing.md: no such file",
            "README.md:4: link doc/a.md#nowhere: no heading makes the anchor #nowhere",
            "doc/a.md:6: link ../../elsewhere.md: outside the repository",
            "doc/unlinked.md: not linked from README.md",
        ]
        found = problems(root)
    if sorted(found) != sorted(expected):
        print("the check found:\n  " + "\n  ".join(found) + "\nwhere it should find:\n  " + "\n  ".join(expected))
        return 1
    print("the check finds a missing file, a missing anchor, a link out of the tree and an unlinked page, "
          "and passes the rest")
    return 0


def main(arguments):
    if arguments == ["--self-check"]:
        return self_check()
    if len(arguments) != 1:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    root = arguments[0]
    found = problems(root)
    pages = pages_of(root)
    count = 0
    for page in pages:
        with open(os.path.join(root, page), encoding="utf-8") as file:
            count += sum(1 for _, target in links(file.read()) if target and not SCHEME.match(target))
    for problem in found:
        print("FAIL  " + problem)
    print("%d pages, %d relative links, problems: %d" % (len(pages), count, len(found)))
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
