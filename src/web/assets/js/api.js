// Talking to the server.

export async function getJson(url) {
  const response = await fetch(url, { credentials: "same-origin", cache: "no-store" });
  if (response.status === 401) {
    window.location.assign("/login");
    throw new Error("not signed in");
  }
  let body = null;
  try {
    body = await response.json();
  } catch {
    body = null;
  }
  if (!response.ok) {
    const message = body && body.error ? body.error : "HTTP " + response.status;
    const error = new Error(message);
    error.status = response.status;
    throw error;
  }
  return body;
}
