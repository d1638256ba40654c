"""Waits until the running Kalvora's article pane, read over AT-SPI as a screen reader reads it,
begins with the given headword (letter case aside). Prints what it read; exit status 1 when the
headword did not come within the given seconds.
Usage: Article_text.py HEADWORD [SECONDS]"""

import sys
import time

import pyatspi


def find_article(node, depth=0):
    if node is None or depth > 25:
        return None
    if node.name == "Статья":
        return node
    for i in range(node.childCount):
        try:
            found = find_article(node.getChildAtIndex(i), depth + 1)
        except Exception:
            continue
        if found is not None:
            return found
    return None


def article_text():
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.name.lower() == "kalvora":
            article = find_article(app)
            if article is not None:
                return article.queryText().getText(0, -1)
    return None


def main():
    headword = sys.argv[1].casefold()
    deadline = time.time() + (float(sys.argv[2]) if len(sys.argv) > 2 else 20)
    text = None
    while time.time() < deadline:
        try:
            text = article_text()
        except Exception:
            text = None
        if text is not None and text.casefold().startswith(headword + " "):
            print("the article reads: %s" % text[:60])
            return 0
        time.sleep(0.3)
    print("FAIL: expected the article of %r, the pane reads %r" % (sys.argv[1], text))
    return 1


if __name__ == "__main__":
    sys.exit(main())
