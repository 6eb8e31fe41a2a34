__all__: list[str]

def quenra(text: str, *, standalone_links_as_buttons: bool = True, decorate_links: bool = True) -> str:
    """Convert Telegram MarkdownV2 text to a LINE Flex Message JSON string."""
