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


def push_requests(to: str, text: str, entities: object = None) -> list[PushMessageRequest]:
    """The requests that deliver a Telegram message's text and entities to `to`, in reading order."""
    messages = [FlexMessage.from_json(part) for part in telegram.split(text, entities)]
    return [
        PushMessageRequest(to=to, messages=messages[start : start + MESSAGES_PER_REQUEST])
        for start in range(0, len(messages), MESSAGES_PER_REQUEST)
    ]


async def relay(update: Update, context: ContextTypes.DEFAULT_TYPE) -> None:
    message = update.effective_message
    if message is None:
        return
    # The text and its entities as Telegram stores them, or a photo's or
    # file's caption and its entities; a sticker has neither and gives no
    # request.
    if message.text:
        text, entities = message.text, message.entities
    else:
        text, entities = message.caption or "", message.caption_entities
    line_api: AsyncMessagingApi = context.bot_data["line_api"]
    for request in push_requests(os.environ["LINE_TO"], text, entities):
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
