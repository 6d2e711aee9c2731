"""The author's tools: brand a launcher, pack an application folder."""
