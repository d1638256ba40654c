"""Reads the running Kalvora's accessible tree over AT-SPI, as a screen reader does, and checks
that the search field, the search button, the word list and the article pane are there under their
names and roles. Waits up to 30 seconds for the program to appear on the accessibility bus."""

import sys
import time

import pyatspi

EXPECTED = {
    "Слово для поиска": {"combo box"},
    "Найти": {"push button", "button"},
    "Список слов": {"list", "list box"},
    "Статья": {"text", "entry", "document text"},
}


def walk(node, depth=0, seen=None):
    """Every accessible below node, bounded so that a cyclic or huge tree cannot hang the test."""
    seen = seen if seen is not None else [0]
    if node is None or depth > 25 or seen[0] > 5000:
        return
    seen[0] += 1
    yield node, depth
    for i in range(node.childCount):
        try:
            child = node.getChildAtIndex(i)
        except Exception:
            continue
        yield from walk(child, depth + 1, seen)


def find_program():
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.name.lower() == "kalvora":
            return app
    return None


def main():
    deadline = time.time() + 30
    found = {}
    tree = []
    while time.time() < deadline:
        app = find_program()
        if app is not None:
            tree = [(depth, node.name, node.getRoleName()) for node, depth in walk(app)]
            found = {name: role for _, name, role in tree if name in EXPECTED}
            if all(name in found and found[name] in roles for name, roles in EXPECTED.items()):
                for name in EXPECTED:
                    print("found %r as %s" % (name, found[name]))
                return 0
        time.sleep(0.5)
    if not tree:
        print("FAIL: no application named kalvora on the accessibility bus")
    else:
        print("FAIL: expected %s, found %s; the tree:" % (EXPECTED, found))
        for depth, name, role in tree:
            print("  " * depth + "%s [%s]" % (name, role))
    return 1


if __name__ == "__main__":
    sys.exit(main())
