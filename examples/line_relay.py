"""A Telegram bot that relays every message it sees to one LINE chat.

Needs python-telegram-bot (21 or newer) and line-bot-sdk (3), and three
environment variables: TELEGRAM_BOT_TOKEN, LINE_CHANNEL_ACCESS_TOKEN and
LINE_TO (the LINE user, group or room to push to). Run it as

    python examples/line_relay.py
"""

from __future__ import annotations

import os

from linebot.v3.messaging import (
    AsyncApiClient,
    AsyncMessagingApi,
    Configuration,
    FlexMessage,
    PushMessageRequest,
)
from telegram import Update
from telegram.ext import Application, ContextTypes, MessageHandler, filters

from quenra import telegram

# LINE takes at most five messages in one request.
MESSAGES_PER_REQUEST = 5


def push_requests(to: str, text: str, entities: object = None, rich_message: object = None) -> list[PushMessageRequest]:
    """The requests that deliver a Telegram message to `to`, in reading order:
    its rich message when it has one, else its text and entities."""
    parts = telegram.split_rich(rich_message) if rich_message is not None else telegram.split(text, entities)
    messages = [FlexMessage.from_json(part) for part in parts]
    return [
        PushMessageRequest(to=to, messages=messages[start : start + MESSAGES_PER_REQUEST])
        for start in range(0, len(messages), MESSAGES_PER_REQUEST)
    ]


def rich_message_of(message: object) -> object:
    """A message's rich message (Bot API 10.1), or None: aiogram's
    message.rich_message, or the dict that python-telegram-bot keeps in
    api_kwargs until it knows the field."""
    rich_message = getattr(message, "rich_message", None)
    if rich_message is None:
        rich_message = getattr(message, "api_kwargs", {}).get("rich_message")
    return rich_message


async def relay(update: Update, context: ContextTypes.DEFAULT_TYPE) -> None:
    message = update.effective_message
    if message is None:
        return
    # A rich message, which has no text; else the text and its entities as
    # Telegram stores them, or a photo's or file's caption and its entities;
    # a sticker has none of them and gives no request.
    rich_message = rich_message_of(message)
    if rich_message is not None:
        text, entities = "", None
    elif message.text:
        text, entities = message.text, message.entities
    else:
        text, entities = message.caption or "", message.caption_entities
    line_api: AsyncMessagingApi = context.bot_data["line_api"]
    for request in push_requests(os.environ["LINE_TO"], text, entities, rich_message):
        await line_api.push_message(request)


async def open_line_api(application: Application) -> None:
    configuration = Configuration(access_token=os.environ["LINE_CHANNEL_ACCESS_TOKEN"])
    application.bot_data["line_api"] = AsyncMessagingApi(AsyncApiClient(configuration))


def main() -> None:
    application = Application.builder().token(os.environ["TELEGRAM_BOT_TOKEN"]).post_init(open_line_api).build()
    application.add_handler(MessageHandler(filters.ALL, relay))
    application.run_polling()


if __name__ == "__main__":
    main()
