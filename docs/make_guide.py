"""Writes the administrator's guide as one HTML page, its screenshots inlined.
    make_guide.py GUIDE.md IMAGE-DIR OUT.html"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from html_page import write_html  # noqa: E402

if __name__ == '__main__':
    guide, images, out = sys.argv[1:4]
    with open(guide, encoding='utf-8') as f:
        write_html(f.read(), 'Velora СОД: руководство администратора', out, images)
