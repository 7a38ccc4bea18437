// A notice that could be shown neither in the page nor as a desktop notification.
document.getElementById("text").textContent = decodeURIComponent(location.hash.slice(1));
