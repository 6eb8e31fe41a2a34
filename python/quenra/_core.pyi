__all__: list[str]

def quenra(text: str, *, standalone_links_as_buttons: bool = True, decorate_links: bool = True) -> str:
    """Convert Telegram MarkdownV2 text to a LINE Flex Message JSON string.

    ``standalone_links_as_buttons``: a link that ends its line leaves the running
    text and is shown only as a footer button. ``decorate_links``: links shown in
    the running text are blue and underlined. Each switch also accepts a numpy
    boolean.
    """
