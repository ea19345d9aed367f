"""One HTML page from Markdown, as the documents of the setup are shipped: a single file, its
pictures inlined, so that a copy anywhere shows them."""
import base64
import html
import os
import re

STYLE = ('body{font-family:sans-serif;max-width:70em;margin:auto}table{border-collapse:collapse}'
         'td,th{border:1px solid #999;padding:2px 6px;vertical-align:top}code{white-space:nowrap}'
         'pre code{white-space:pre}img{max-width:100%}')


def inline_images(body, image_dir):
    """<img src="name.png"> becomes a data: URI of that file in image_dir."""
    def data_uri(match):
        path = os.path.join(image_dir, html.unescape(match.group(2)))
        with open(path, 'rb') as f:
            data = base64.b64encode(f.read()).decode('ascii')
        return f'{match.group(1)}data:image/png;base64,{data}{match.group(3)}'
    return re.sub(r'(<img[^>]*?src=")([^":]+\.png)(")', data_uri, body)


def write_html(markdown_text, title, path, image_dir=None):
    import markdown
    body = markdown.markdown(markdown_text, extensions=['tables', 'toc', 'fenced_code'])
    if image_dir:
        body = inline_images(body, image_dir)
    with open(path, 'w', encoding='utf-8') as f:
        f.write('<!DOCTYPE html>\n<html lang="ru"><head><meta charset="utf-8">'
                f'<title>{html.escape(title)}</title><style>{STYLE}</style>'
                f'</head><body>\n{body}\n</body></html>\n')
